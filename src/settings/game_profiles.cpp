#include "settings/game_profiles.h"

#include "common/text.h"
#include "common/utf.h"
#include "settings/settings_table.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace kx {

namespace {

const std::function<std::string(std::string_view)> kAsItStands;

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

std::u16string FoldedAscii(std::u16string_view text)
{
    std::u16string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldAscii);
    return folded;
}

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 name devices, also
// with an extension and blanks behind them.
bool IsDeviceName(std::u16string_view name)
{
    std::u16string stem = FoldedAscii(name.substr(0, name.find(u'.')));
    while (!stem.empty() && stem.back() == u' ')
        stem.pop_back();
    if (stem == u"CON" || stem == u"PRN" || stem == u"AUX" || stem == u"NUL")
        return true;
    return stem.size() == 4 && (stem.starts_with(u"COM") || stem.starts_with(u"LPT")) && stem[3] >= u'1' &&
           stem[3] <= u'9';
}

std::size_t CodePoints(std::u16string_view text)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i, ++count)
        if (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            ++i;
    return count;
}

// The row's value as it would be written, for comparing two records.
std::optional<std::string> WrittenValue(const SettingRow& row, const AppSettings& settings)
{
    IniFile scratch;
    ValueWriter out{scratch, kAsItStands};
    const MainWindowState window;
    row.write(out, {settings, window});
    return scratch.Get(row.section, row.key);
}

std::u16string ProfileLine(std::u16string_view name)
{
    return name.empty() ? std::u16string(u"Game profile: none") : u"Game profile: " + std::u16string(name);
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

} // namespace

std::optional<std::u16string> ProfileNameProblem(std::u16string_view name)
{
    if (name.empty())
        return u"A game profile needs a name.";
    if (CodePoints(name) > kMaxProfileNameLength)
        return u"A game profile's name can be at most 64 characters long.";
    for (char16_t c : name)
        if (IsControl(c) || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos)
            return u"A game profile's name cannot hold \\ / : * ? \" < > | or control characters.";
    if (name.back() == u'.' || name.back() == u' ')
        return u"A game profile's name cannot end with a dot or a space.";
    if (IsDeviceName(name))
        return u"\"" + std::u16string(name) + u"\" is a name Windows keeps for a device.";
    if (name == kNoProfileFolder)
        return u"\"(none)\" is the name of the folder of what is kept without a profile.";
    return std::nullopt;
}

AppSettings ProfileValues(const IniFile& profile, const AppSettings& global, std::vector<std::string>& unreadable)
{
    AppSettings own = global;
    MainWindowState window;
    for (const SettingRow& row : SettingsTable())
        if (row.perGame && !row.read(profile, {own, window}))
            unreadable.push_back(row.section + "/" + row.key);
    return own;
}

void CopyPerGameValues(const AppSettings& from, AppSettings& to)
{
    IniFile scratch;
    ValueWriter out{scratch, kAsItStands};
    MainWindowState window;
    for (const SettingRow& row : SettingsTable())
        if (row.perGame)
            row.write(out, {from, window});
    for (const SettingRow& row : SettingsTable())
        if (row.perGame)
            row.read(scratch, {to, window});
}

void ApplyProfile(const AppSettings& own, const AppSettings& global, AppSettings& inUse)
{
    CopyPerGameValues(own, inUse);
    const auto joined = [](std::vector<Substitution> first, const std::vector<Substitution>& then) {
        first.insert(first.end(), then.begin(), then.end());
        return first;
    };
    inUse.Filters.before = joined(own.Filters.before, global.Filters.before);
    inUse.Filters.after = joined(own.Filters.after, global.Filters.after);
    std::vector<GlossaryEntry> glossary = own.Server.glossary;
    for (const GlossaryEntry& entry : global.Server.glossary)
        if (std::none_of(own.Server.glossary.begin(), own.Server.glossary.end(),
                         [&entry](const GlossaryEntry& game) { return game.term == entry.term; }))
            glossary.push_back(entry);
    inUse.Server.glossary = std::move(glossary);
}

void WriteProfile(IniFile& profile, const AppSettings& own, const AppSettings& global,
                  const std::function<std::string(std::string_view)>& fileForm)
{
    ValueWriter out{profile, fileForm};
    const MainWindowState window;
    for (const SettingRow& row : SettingsTable()) {
        if (!row.perGame)
            continue;
        if (row.form != StoredForm::PairList && WrittenValue(row, own) == WrittenValue(row, global))
            profile.Remove(row.section, row.key);
        else
            row.write(out, {own, window});
    }
}

GameProfiles::GameProfiles(GameFoldersPort& folders, CodePagePort& codePages)
    : folders_(folders), codePages_(codePages)
{
}

void GameProfiles::SetGlobal(const AppSettings& global) { global_ = global; }

std::vector<std::u16string> GameProfiles::Activate(const std::u16string& name, bool makeMissing)
{
    if (name == active_)
        return {};
    active_ = name;
    profile_ = IniFile();
    fileBytes_.clear();
    readable_ = true;
    std::vector<std::u16string> lines{ProfileLine(name)};
    if (!name.empty())
        for (std::u16string& line : ReadActiveFile(makeMissing))
            lines.push_back(std::move(line));
    return lines;
}

std::vector<std::u16string> GameProfiles::ReadActiveFile(bool makeMissing)
{
    const std::u16string path = folders_.GameFilePath(active_, kProfileFileName);
    const FileReadResult read = folders_.ReadGameFile(active_, kProfileFileName);
    const auto cannotRead = [&](const std::u16string& what) {
        readable_ = false;
        profile_ = IniFile();
        return std::vector<std::u16string>{u"Game profile " + active_ + u": " + path + u" could not be read (" + what +
                                           u"); the global settings stand in for it, and the file is left as it is"};
    };
    if (read.status == FileReadStatus::Missing) {
        if (makeMissing && !folders_.ReplaceGameFile(active_, kProfileFileName, ""))
            return {u"Game profile " + active_ + u": unable to make " + path};
        return {};
    }
    if (read.status == FileReadStatus::Failed)
        return cannotRead(u"it could not be opened");
    fileBytes_ = read.bytes;
    std::string_view text = fileBytes_;
    if (text.starts_with(kUtf8Mark))
        text.remove_prefix(kUtf8Mark.size());
    const std::optional<std::u16string> wide = Utf16FromWellFormedUtf8(text);
    if (!wide)
        return cannotRead(u"its bytes are not UTF-8 text");
    profile_ = IniFile::Parse(codePages_.FromWide(*wide, 0));
    std::vector<std::string> unreadable;
    ProfileValues(profile_, global_, unreadable);
    if (unreadable.empty())
        return {};
    std::u16string what;
    for (const std::string& key : unreadable)
        what += (what.empty() ? u"" : u", ") + Widen(key);
    readable_ = false;
    return {u"Game profile " + active_ + u": " + path + u" could not be read whole (" + what +
            u"); the global settings stand in for what it could not give, and the file is left as it is"};
}

AppSettings GameProfiles::Own() const
{
    std::vector<std::string> unreadable;
    return ProfileValues(profile_, global_, unreadable);
}

void GameProfiles::ApplyTo(AppSettings& inUse) const
{
    if (IsActive())
        ApplyProfile(Own(), global_, inUse);
    else
        CopyPerGameValues(global_, inUse);
    inUse.ActiveProfile = active_;
}

std::optional<std::u16string> GameProfiles::ChangeOwn(const AppSettings& own)
{
    if (!IsActive())
        return u"No game profile is in force.";
    const std::u16string path = folders_.GameFilePath(active_, kProfileFileName);
    if (!readable_)
        return path + u" could not be read whole when the profile came into force; it is left as it is.";
    std::string_view text = fileBytes_;
    const bool marked = text.starts_with(kUtf8Mark);
    if (marked)
        text.remove_prefix(kUtf8Mark.size());
    IniFile file = IniFile::Parse(text);
    WriteProfile(file, own, global_,
                 [this](std::string_view ansi) { return Utf8FromUtf16(codePages_.ToWide(ansi, 0)); });
    const std::string bytes = (marked ? std::string(kUtf8Mark) : std::string()) + file.Serialize();
    if (!folders_.ReplaceGameFile(active_, kProfileFileName, bytes))
        return u"Unable to write to " + path + u".";
    fileBytes_ = bytes;
    profile_ = IniFile::Parse(codePages_.FromWide(Utf16FromUtf8(file.Serialize()), 0));
    return std::nullopt;
}

std::optional<std::u16string> GameProfiles::TakeChanges(const AppSettings& before, const AppSettings& after,
                                                       std::initializer_list<std::string_view> forProfile)
{
    std::vector<const SettingRow*> changed;
    for (const SettingRow& row : SettingsTable())
        if (row.perGame && row.form != StoredForm::PairList && WrittenValue(row, before) != WrittenValue(row, after))
            changed.push_back(&row);
    const auto forTheGame = [&](const SettingRow& row) {
        return IsActive() && std::find(forProfile.begin(), forProfile.end(), row.section + "/" + row.key) != forProfile.end();
    };
    // A row's new value, moved through its own written form.
    IniFile values;
    ValueWriter out{values, kAsItStands};
    MainWindowState window;
    for (const SettingRow* row : changed)
        row->write(out, {after, window});
    for (const SettingRow* row : changed)
        if (!forTheGame(*row))
            row->read(values, {global_, window});
    if (!IsActive())
        return std::nullopt;
    AppSettings own = Own();
    bool ownChanged = false;
    for (const SettingRow* row : changed)
        if (forTheGame(*row) || WrittenValue(*row, own) != WrittenValue(*row, after)) {
            row->read(values, {own, window});
            ownChanged = true;
        }
    return ownChanged ? ChangeOwn(own) : std::nullopt;
}

std::vector<std::u16string> GameProfiles::Names() const
{
    std::vector<std::u16string> names;
    for (std::u16string& name : folders_.GameNames())
        if (!ProfileNameProblem(name))
            names.push_back(std::move(name));
    std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
        const std::u16string foldedA = FoldedAscii(a), foldedB = FoldedAscii(b);
        return foldedA != foldedB ? foldedA < foldedB : a < b;
    });
    return names;
}

} // namespace kx
