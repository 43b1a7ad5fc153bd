// The stand-in J2KEngine.dll as an independent program sees it: loaded with
// LoadLibraryA, its entry points taken by their plain names, fed Shift-JIS and
// answering in code page 949.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using InitializeExFn = int(__stdcall*)(const char*, const char*);
using TranslateMMNTFn = char*(__stdcall*)(int, const char*);
using FreeMemFn = void(__stdcall*)(char*);
using StopTranslationFn = void(__stdcall*)(int);
using TerminateFn = void(__stdcall*)();

const char kKey[] = "KXTEST202401";

// The build passes the DLL's Linux path; under Wine that is drive Z:.
std::string EngineDllPath()
{
    std::string path = KX_ENGINE_DLL_PATH;
    if (!path.empty() && path[0] == '/') {
        std::replace(path.begin(), path.end(), '/', '\\');
        path = "Z:" + path;
    }
    return path;
}

std::string Encode(const std::u16string& text, UINT codePage)
{
    if (text.empty())
        return {};
    const auto* units = reinterpret_cast<const wchar_t*>(text.data());
    const int size = ::WideCharToMultiByte(codePage, 0, units, static_cast<int>(text.size()), nullptr, 0, nullptr,
                                           nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, 0, units, static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string DoubleBackslashes(const std::string& path)
{
    std::string out;
    for (char c : path) {
        out.push_back(c);
        if (c == '\\')
            out.push_back(c);
    }
    return out;
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (::FindNextFileA(h, &found));
    ::FindClose(h);
    return names;
}

class StandinEngineDll : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = ::LoadLibraryA(EngineDllPath().c_str());
        ASSERT_NE(module_, nullptr) << EngineDllPath() << " error " << ::GetLastError();
        initialize_ = Entry<InitializeExFn>("J2K_InitializeEx");
        translate_ = Entry<TranslateMMNTFn>("J2K_TranslateMMNT");
        free_ = Entry<FreeMemFn>("J2K_FreeMem");
        stop_ = Entry<StopTranslationFn>("J2K_StopTranslation");
        terminate_ = Entry<TerminateFn>("J2K_Terminate");
        ASSERT_TRUE(initialize_ && translate_ && free_ && stop_ && terminate_);

        char temp[MAX_PATH];
        ASSERT_NE(::GetTempPathA(MAX_PATH, temp), 0u);
        static int counter = 0;
        install_ = std::string(temp) + "kx-standin-" + std::to_string(::GetCurrentProcessId()) + "-" +
                   std::to_string(++counter);
        ASSERT_TRUE(::CreateDirectoryA(install_.c_str(), nullptr)) << install_;
    }

    void TearDown() override
    {
        if (terminate_)
            terminate_();
        if (module_)
            ::FreeLibrary(module_);
        if (!install_.empty()) {
            const std::string dat = install_ + "\\Dat";
            if (!::RemoveDirectoryA(dat.c_str()))
                ::DeleteFileA(dat.c_str());
            ::RemoveDirectoryA(install_.c_str());
        }
    }

    template <typename Fn> Fn Entry(const char* name)
    {
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module_, name)));
    }

    // The data path as the program passes it: install folder + "\Dat", every
    // backslash doubled.
    std::string DataArgument() const { return DoubleBackslashes(install_ + "\\Dat"); }

    void MakeDat() { ASSERT_TRUE(::CreateDirectoryA((install_ + "\\Dat").c_str(), nullptr)); }

    // The answer's bytes, copied before J2K_FreeMem as the program does; empty
    // optional for a null answer.
    std::optional<std::string> Translate(const std::string& shiftJis)
    {
        char* answer = translate_(0, shiftJis.c_str());
        if (answer == nullptr)
            return std::nullopt;
        std::string copy = answer;
        free_(answer);
        return copy;
    }

    HMODULE module_ = nullptr;
    InitializeExFn initialize_ = nullptr;
    TranslateMMNTFn translate_ = nullptr;
    FreeMemFn free_ = nullptr;
    StopTranslationFn stop_ = nullptr;
    TerminateFn terminate_ = nullptr;
    std::string install_;
};

TEST_F(StandinEngineDll, TranscribesShiftJisKanaIntoKoreanCodePage)
{
    MakeDat();
    ASSERT_EQ(initialize_(kKey, DataArgument().c_str()), 1) << DataArgument();

    // こんにちは as raw Shift-JIS bytes, and ｶﾞﾝﾊﾞﾚ in single-byte half-width kana.
    EXPECT_EQ(Translate("\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD"), Encode(u"콘니치하", 949));
    EXPECT_EQ(Translate("\xB6\xDE\xDD\xCA\xDE\xDA"), Encode(u"간바레", 949));

    struct Row {
        const char16_t* source;
        const char16_t* answer;
    };
    const Row rows[] = {
        {u"こんにちは。", u"콘니치하。"},
        {u"「がっこうへ行きましょう！」", u"「갓코우헤行키마쇼우！」"},
        {u"東京タワーのチケット.", u"東京타와노치켓토."},
        {u"ABC 123.", u"ABC 123."},
        {u"\r\nかな\r\n", u"\r\n카나\r\n"},
    };
    for (const Row& row : rows) {
        const std::string source = Encode(row.source, 932);
        EXPECT_EQ(Translate(source), Encode(row.answer, 949)) << source;
    }
    EXPECT_EQ(Translate(""), std::string());
    stop_(0);
}

TEST_F(StandinEngineDll, AnswersAreFreshDeterministicBuffers)
{
    MakeDat();
    ASSERT_EQ(initialize_(kKey, DataArgument().c_str()), 1);
    const std::string source = Encode(u"ありがとう", 932);
    char* first = translate_(0, source.c_str());
    char* second = translate_(0, source.c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(std::string(first), Encode(u"아리가토우", 949));
    free_(first);
    EXPECT_EQ(std::string(second), Encode(u"아리가토우", 949));
    free_(second);
    free_(nullptr);

    // Stopping ends nothing that later calls need.
    stop_(0);
    EXPECT_EQ(Translate(Encode(u"ね", 932)), Encode(u"네", 949));
}

TEST_F(StandinEngineDll, InitialisationLeavesTheInstallFolderAlone)
{
    MakeDat();
    ASSERT_EQ(initialize_(kKey, DataArgument().c_str()), 1);
    ASSERT_TRUE(Translate(Encode(u"テスト", 932)).has_value());
    terminate_();
    EXPECT_EQ(FolderEntries(install_), std::vector<std::string>{"Dat"});
    EXPECT_TRUE(FolderEntries(install_ + "\\Dat").empty());
}

TEST_F(StandinEngineDll, RefusesKeysOfAnotherForm)
{
    MakeDat();
    const std::string data = DataArgument();
    for (const char* key : {"kxtest202401", "KXTEST20240", "KXTEST2024011", "202401KXTEST", "KXTES1202401", ""}) {
        EXPECT_EQ(initialize_(key, data.c_str()), 0) << '"' << key << '"';
        EXPECT_EQ(Translate(Encode(u"か", 932)), std::nullopt) << '"' << key << '"';
    }
    EXPECT_EQ(initialize_(nullptr, data.c_str()), 0);
}

TEST_F(StandinEngineDll, RefusesADataFolderThatIsNotThere)
{
    // The install folder exists, its Dat folder does not.
    EXPECT_EQ(initialize_(kKey, DataArgument().c_str()), 0);
    EXPECT_EQ(Translate(Encode(u"か", 932)), std::nullopt);
    EXPECT_EQ(initialize_(kKey, nullptr), 0);

    // A file named Dat is no data folder either.
    HANDLE file = ::CreateFileA((install_ + "\\Dat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);
    EXPECT_EQ(initialize_(kKey, DataArgument().c_str()), 0);
}

TEST_F(StandinEngineDll, AnswersNothingWhileNotInitialised)
{
    const std::string source = Encode(u"かな", 932);
    EXPECT_EQ(translate_(0, source.c_str()), nullptr);

    MakeDat();
    ASSERT_EQ(initialize_(kKey, DataArgument().c_str()), 1);
    EXPECT_EQ(translate_(0, nullptr), nullptr);
    EXPECT_EQ(Translate(source), Encode(u"카나", 949));

    // A refused second initialisation leaves the engine uninitialised.
    EXPECT_EQ(initialize_("bad", DataArgument().c_str()), 0);
    EXPECT_EQ(translate_(0, source.c_str()), nullptr);

    ASSERT_EQ(initialize_(kKey, DataArgument().c_str()), 1);
    terminate_();
    EXPECT_EQ(translate_(0, source.c_str()), nullptr);
}

} // namespace
