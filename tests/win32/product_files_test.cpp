// The shipped files themselves: the exe's version resource and PE headers,
// and that neither the exe nor the engine needs a mingw runtime DLL.
#include "platform/win32/win32_version.h"
#include "wine_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

using kx::testing::WindowsPathOf;

namespace {

std::string VersionString(const std::string& path, const char* key)
{
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<char> info(size);
    if (!size || !::GetFileVersionInfoA(path.c_str(), 0, size, info.data()))
        return "<no version info>";
    char* value = nullptr;
    UINT length = 0;
    const std::string query = std::string("StringFileInfo\\041203B5\\") + key;
    if (!::VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return "<missing>";
    return value;
}

std::vector<char> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Names of the DLLs that a loaded module imports.
std::vector<std::string> ImportedDlls(HMODULE module)
{
    auto* base = reinterpret_cast<const BYTE*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> names;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); entry->Name;
         ++entry) {
        std::string name = reinterpret_cast<const char*>(base + entry->Name);
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        names.push_back(name);
    }
    return names;
}

const std::string kExe = WindowsPathOf(KX_APP_EXE_PATH);
const std::string kEngine = WindowsPathOf(KX_ENGINE_DLL_PATH);

TEST(ProductFiles, VersionResourceReadsInKoreanTable)
{
    EXPECT_EQ(kx::win32::ReadFileVersion(kExe), "0.3.0.68");
    EXPECT_EQ(VersionString(kExe, "ProductVersion"), "0.3.0.0");
    EXPECT_EQ(VersionString(kExe, "FileDescription"), "KestruneEX!");
    EXPECT_EQ(VersionString(kExe, "InternalName"), "KestruneEX!");
    EXPECT_FALSE(VersionString(kExe, "CompanyName").empty());

    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(kExe.c_str(), &handle);
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoA(kExe.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(3, 0));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(68, 0));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                 &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0412);
    EXPECT_EQ(translation[1], 949);
}

TEST(ProductFiles, NoVersionTableGivesEmptyVersion)
{
    // The test program itself carries no version resource.
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_EQ(kx::win32::ReadFileVersion(self), "");
}

// The i686 build is the product (the engine is a 32-bit DLL); the x86_64
// build of the same code is checked the same way.
TEST(ProductFiles, ExeIsGuiProgramOfItsBuildsMachine)
{
    const std::vector<char> bytes = ReadAll(kExe);
    ASSERT_GT(bytes.size(), sizeof(IMAGE_DOS_HEADER));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
#ifdef _WIN64
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes.data() + dos->e_lfanew);
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
#else
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
#endif
    EXPECT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST(ProductFiles, NeedNoMingwRuntime)
{
    for (const std::string& path : {kExe, kEngine}) {
        HMODULE module = ::LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        ASSERT_NE(module, nullptr) << path;
        for (const std::string& dll : ImportedDlls(module)) {
            EXPECT_EQ(dll.find("libstdc++"), std::string::npos) << path;
            EXPECT_EQ(dll.find("libgcc"), std::string::npos) << path;
            EXPECT_EQ(dll.find("libwinpthread"), std::string::npos) << path;
        }
        ::FreeLibrary(module);
    }
}

} // namespace
