#include "settings/settings_file.h"

#include "common/app_error.h"
#include "common/text.h"
#include "common/utf.h"
#include "settings/settings_table.h"

#include <exception>
#include <utility>

namespace kx {

namespace {

// A file saved as UTF-16 (with its byte-order mark) is read through the ANSI
// code page, as the profile functions read it, and edited as UTF-8 so that the
// lines no key changes keep every character.
enum class FileEncoding { Ansi, Utf16LittleEndian, Utf16BigEndian };

FileEncoding EncodingOf(const std::string& bytes)
{
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        return FileEncoding::Utf16LittleEndian;
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF')
        return FileEncoding::Utf16BigEndian;
    return FileEncoding::Ansi;
}

// The code units behind the byte-order mark (a last odd byte is left out).
std::u16string Utf16Units(const std::string& bytes, FileEncoding encoding)
{
    const bool little = encoding == FileEncoding::Utf16LittleEndian;
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(little ? first | (second << 8) : (first << 8) | second));
    }
    return units;
}

std::string Utf16Bytes(std::u16string_view units, FileEncoding encoding)
{
    const bool little = encoding == FileEncoding::Utf16LittleEndian;
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    bytes.reserve(2 + units.size() * 2);
    for (char16_t unit : units) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes.push_back(little ? low : high);
        bytes.push_back(little ? high : low);
    }
    return bytes;
}

std::string FileText(const std::string& bytes, CodePagePort& codePages)
{
    const FileEncoding encoding = EncodingOf(bytes);
    return encoding == FileEncoding::Ansi ? bytes : codePages.FromWide(Utf16Units(bytes, encoding), 0);
}

// The bytes the file gets with every key written, or nullopt when its text
// could not be kept (a UTF-16 file of an odd number of bytes).
std::optional<std::string> UpdatedFile(const std::string& bytes, const AppSettings& settings,
                                       const MainWindowState& window, CodePagePort& codePages)
{
    const FileEncoding encoding = EncodingOf(bytes);
    if (encoding == FileEncoding::Ansi) {
        IniFile ini = IniFile::Parse(bytes);
        WriteSettings(ini, settings, window);
        return ini.Serialize();
    }
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    IniFile ini = IniFile::Parse(Utf8FromUtf16(Utf16Units(bytes, encoding)));
    WriteSettings(ini, settings, window,
                  [&codePages](std::string_view ansi) { return Utf8FromUtf16(codePages.ToWide(ansi, 0)); });
    return Utf16Bytes(Utf16FromUtf8(ini.Serialize()), encoding);
}

} // namespace

std::string SettingsFilePath(std::string_view exePath)
{
    const std::size_t folderEnd = exePath.find_last_of("\\:");
    const std::string_view folder =
        folderEnd == std::string_view::npos ? std::string_view() : exePath.substr(0, folderEnd + 1);
    return std::string(folder) + std::string(kSettingsFileName);
}

MainWindowState ReadSettings(const IniFile& file, AppSettings& settings, Color presentLogViewBackground)
{
    settings = AppSettings();
    MainWindowState window;
    window.colorDialogColor = presentLogViewBackground;
    // A value that does not read is the key's default.
    for (const SettingRow& row : SettingsTable())
        row.read(file, {settings, window});
    window.alphaBlending = window.alpha != 0;
    window.stayOnTop = window.alwaysOnTopChecked;
    return window;
}

void WriteSettings(IniFile& ini, const AppSettings& settings, const MainWindowState& window, const ValueForm& fileForm)
{
    ValueWriter out{ini, fileForm};
    for (const SettingRow& row : SettingsTable())
        row.write(out, {settings, window});
}

MainWindowState LoadSettings(SettingsFile& file, AppSettings& settings, Color presentLogViewBackground)
{
    const FileReadResult read = file.files.ReadWholeFile(file.path);
    file.unreadableAtLoad = read.status == FileReadStatus::Failed;
    const IniFile ini =
        read.status == FileReadStatus::Read ? IniFile::Parse(FileText(read.bytes, file.codePages)) : IniFile();
    return ReadSettings(ini, settings, presentLogViewBackground);
}

bool SaveSettings(SettingsFile& file, const AppSettings& settings, const MainWindowState& window)
{
    bool saved = false;
    try {
        if (!file.unreadableAtLoad) {
            const FileReadResult read = file.files.ReadWholeFile(file.path);
            const std::optional<std::string> bytes =
                read.status == FileReadStatus::Failed ? std::nullopt
                                                      : UpdatedFile(read.bytes, settings, window, file.codePages);
            if (bytes)
                saved = (read.status == FileReadStatus::Read && *bytes == read.bytes) ||
                        file.files.ReplaceWholeFile(file.path, *bytes);
        }
    } catch (const std::exception&) {
        saved = false;
    }
    if (!saved) {
        try {
            const std::u16string message =
                file.codePages.ToWide(WithClosingFullStop("Unable to write to " + file.path), 0);
            file.prompts.ShowAppError(message);
        } catch (const std::exception&) {
            // Nothing more can be told; the shutdown goes on.
        }
    }
    return saved;
}

} // namespace kx
