#include "capture/append_log.h"
#include "common/text.h"
#include "logview/win32/log_view_window.h"
#include "platform/win32/win32_code_pages.h"
#include "platform/win32/win32_system.h"
#include "translate/translation_engine.h"
#include "wine_paths.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace kx;
using namespace kx::win32;
using kx::testing::ScratchFolder;
using kx::testing::WindowsPathOf;

namespace {

struct RecordingPrompts : PromptsPort {
    std::vector<std::u16string> errors;
    void ShowError(const std::u16string& text) override { errors.push_back(text); }
    void ShowAppError(const std::u16string& text) override { errors.push_back(text); }
};

// Sets HKCU\Software\ChangShin\ezTrans for one test and puts back what was
// there before (the prefix may have an engine registered for running the
// program).
class EngineRegistration {
public:
    EngineRegistration()
    {
        HKEY key = nullptr;
        if (::RegOpenKeyA(HKEY_CURRENT_USER, kEngineRegistryKey, &key) == ERROR_SUCCESS) {
            char buffer[1024] = {};
            DWORD size = sizeof buffer - 1;
            DWORD type = 0;
            if (::RegQueryValueExA(key, kEngineFolderValue, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
                ERROR_SUCCESS)
                saved_ = std::string(buffer);
            ::RegCloseKey(key);
        }
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kEngineRegistryKey);
    }
    ~EngineRegistration()
    {
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kEngineRegistryKey);
        if (saved_)
            SetFolder(*saved_);
    }
    EngineRegistration(const EngineRegistration&) = delete;
    EngineRegistration& operator=(const EngineRegistration&) = delete;
    void CreateKeyOnly()
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyA(HKEY_CURRENT_USER, kEngineRegistryKey, &key), ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
    void SetFolder(const std::string& folder)
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyA(HKEY_CURRENT_USER, kEngineRegistryKey, &key), ERROR_SUCCESS);
        ::RegSetValueExA(key, kEngineFolderValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>(folder.size() + 1));
        ::RegCloseKey(key);
    }

private:
    std::optional<std::string> saved_;
};

class EngineThroughRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent_ = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 600, 300, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
        view_ = std::make_unique<LogViewWindow>();
        edit_ = view_->Create(parent_, 1000);
        ::MoveWindow(edit_, 0, 0, 600, 300, FALSE);
        view_->SetText(u"start");
        engine_ = std::make_unique<TranslationEngine>(
            EnginePorts{registry_, files_, libraries_, codePages_, prompts_,
                        [this](const std::u16string& line) { AppendLineToView(*view_, line); }});
    }
    void TearDown() override
    {
        engine_->TerminateTransEngine();
        ::DestroyWindow(parent_);
    }

    // An install folder holding a copy of the stand-in engine, with or
    // without its data folder.
    void InstallEngine(bool withDataFolder)
    {
        ASSERT_TRUE(::CopyFileA(WindowsPathOf(KX_ENGINE_DLL_PATH).c_str(), (install_ / "J2KEngine.dll").c_str(),
                                FALSE));
        if (withDataFolder)
            ::CreateDirectoryA((install_ / "Dat").c_str(), nullptr);
    }

    void ExpectFailure(const char* message)
    {
        EXPECT_FALSE(engine_->EngineReady);
        EXPECT_EQ(engine_->EngineModule, nullptr);
        ASSERT_EQ(prompts_.errors.size(), 1u);
        EXPECT_EQ(prompts_.errors[0], Widen(message));
        EXPECT_EQ(view_->Text(), u"start\r\n" + Widen(message));
        // Not left loaded (an engine from an earlier test may stay loaded
        // from its own folder).
        EXPECT_EQ(::GetModuleHandleA((install_ / "J2KEngine.dll").c_str()), nullptr);
    }

    EngineRegistration registration_;
    ScratchFolder install_{"ezTrans"};
    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
    std::unique_ptr<LogViewWindow> view_;
    Win32Registry registry_;
    Win32FileSystem files_;
    Win32Libraries libraries_;
    Win32CodePages codePages_;
    RecordingPrompts prompts_;
    std::unique_ptr<TranslationEngine> engine_;
};

TEST_F(EngineThroughRegistry, FindsAndTranslatesWithStandInEngine)
{
    InstallEngine(true);
    registration_.SetFolder(install_.Path());
    engine_->InitTransEngine();
    ASSERT_TRUE(engine_->EngineReady) << "errors: " << prompts_.errors.size();
    EXPECT_TRUE(prompts_.errors.empty());

    const std::u16string source = u"あいう漢字.";
    const std::u16string answer = engine_->Answer(source);
    // The stand-in transcribes kana into Hangul and keeps everything else.
    ASSERT_GE(answer.size(), 2u);
    EXPECT_EQ(answer.substr(answer.size() - 2), u"\r\n");
    EXPECT_EQ(answer.find(u'あ'), std::u16string::npos);
    EXPECT_NE(answer.find(u"漢字."), std::u16string::npos);
    for (char16_t c : answer.substr(0, 3))
        EXPECT_TRUE(c >= 0xAC00 && c <= 0xD7A3) << static_cast<int>(c);
    engine_->StopTransEngine();
}

TEST_F(EngineThroughRegistry, NoKeyIsRegistryError)
{
    engine_->InitTransEngine();
    ExpectFailure(kRegistryErrorMessage);
}

TEST_F(EngineThroughRegistry, KeyWithoutValueOrMissingFolderIsFilePathNotFound)
{
    registration_.CreateKeyOnly();
    engine_->InitTransEngine();
    ExpectFailure(kFilePathErrorMessage);

    prompts_.errors.clear();
    view_->SetText(u"start");
    registration_.SetFolder(install_ / "missing");
    engine_->InitTransEngine();
    ExpectFailure(kFilePathErrorMessage);
}

TEST_F(EngineThroughRegistry, FolderWithoutLibraryIsDllError)
{
    registration_.SetFolder(install_.Path());
    engine_->InitTransEngine();
    ExpectFailure(kDllErrorMessage);
}

TEST_F(EngineThroughRegistry, EngineRefusingToInitialiseIsUnloaded)
{
    InstallEngine(false);  // no data folder: the stand-in answers 0
    registration_.SetFolder(install_.Path());
    engine_->InitTransEngine();
    ExpectFailure(kDllErrorMessage);
}

TEST_F(EngineThroughRegistry, TooLongFolderValueIsFilePathNotFound)
{
    registration_.SetFolder(std::string(300, 'x'));
    engine_->InitTransEngine();
    ExpectFailure(kFilePathErrorMessage);
}

// The engine's folder holds the DLLs it needs; one of the same name planted in
// the current folder is not taken, with the program's search rules in force.
// The engine is named by a relative path, as a registry value may hold it.
TEST(LibraryLoading, AnEnginesDependenciesComeFromItsOwnFolderNotTheCurrentOne)
{
    SearchDllsInKnownFoldersOnly();
    ScratchFolder engine("kx-probe-engine");
    ScratchFolder current("kx-probe-current");
    const std::string user = WindowsPathOf(KX_PROBE_USER_PATH);
    const std::string genuine = user.substr(0, user.rfind('\\')) + "\\probe_leaf.dll";
    ASSERT_TRUE(::CopyFileA(user.c_str(), (engine / "probe_user.dll").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileA(genuine.c_str(), (engine / "probe_leaf.dll").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileA(WindowsPathOf(KX_PROBE_PLANTED_LEAF_PATH).c_str(), (current / "probe_leaf.dll").c_str(), FALSE));
    char before[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, before);
    ASSERT_TRUE(::SetCurrentDirectoryA(current.Path().c_str()));
    Win32Libraries libraries;
    const std::string folderName = engine.Path().substr(engine.Path().rfind('\\') + 1);
    LibraryHandle library = libraries.Load("..\\" + folderName + "\\probe_user.dll");
    ::SetCurrentDirectoryA(before);
    ASSERT_NE(library, nullptr) << ::GetLastError();
    const auto value = reinterpret_cast<int (*)()>(libraries.Find(library, "ProbeValue"));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value(), 42);
    libraries.Unload(library);
}

} // namespace
