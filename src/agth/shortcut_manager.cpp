#include "agth/shortcut_manager.h"
#include "capture/text_decoding.h"

#include "common/app_error.h"
#include "settings/value_encodings.h"

#include <algorithm>

namespace kx {

namespace {

constexpr int kCodePage949 = 949;

std::u16string DecodeOrEmpty(const std::string& hexText)
{
    return DecodeHexText(hexText).value_or(std::u16string());
}

} // namespace

std::u16string FileNamePart(std::u16string_view path)
{
    const auto slash = path.rfind(u'\\');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

ShortcutManager::ShortcutManager(AppSettings& settings, AgthHelperHost& methodHost,
                                 CapturePauseHost& pauseHost, ShortcutPorts ports)
    : settings_(settings), methodHost_(methodHost), pauseHost_(pauseHost), ports_(ports)
{
}

void ShortcutManager::Load()
{
    items_.clear();
    selected_.reset();
    for (const ShortcutEntry& row : settings_.ShortcutTable) {
        if (IsBlankText(row.GName))
            continue;
        ShortcutItem item;
        item.name = DecodeOrEmpty(row.GName);
        item.path = DecodeOrEmpty(row.APath);
        item.options = DecodeOrEmpty(row.AOption);
        item.delay = ports_.codePages.ToWide(row.TDelay, kCodePage949);
        item.notes = DecodeOrEmpty(row.Notes);
        item.method = ports_.codePages.ToWide(row.GTMethod, kCodePage949);
        item.image = imageCount_++;
        items_.push_back(std::move(item));
    }
    if (!items_.empty())
        Select(0);
}

void ShortcutManager::Save()
{
    for (ShortcutEntry& row : settings_.ShortcutTable)
        row = ShortcutEntry{};
    const size_t count = std::min(items_.size(), settings_.ShortcutTable.size());
    for (size_t i = 0; i < count; ++i) {
        const ShortcutItem& item = items_[i];
        ShortcutEntry& row = settings_.ShortcutTable[i];
        row.GName = EncodeHexText(item.name);
        row.APath = EncodeHexText(item.path);
        row.AOption = EncodeHexText(item.options);
        row.TDelay = ports_.codePages.FromWide(item.delay, kCodePage949);
        row.Notes = EncodeHexText(item.notes);
        row.GTMethod = ports_.codePages.FromWide(item.method, kCodePage949);
    }
}

void ShortcutManager::Select(std::optional<int> index)
{
    if (index && (*index < 0 || static_cast<size_t>(*index) >= items_.size()))
        index.reset();
    selected_ = index;
    if (selected_)
        FillEditors(items_[static_cast<size_t>(*selected_)]);
}

void ShortcutManager::FillEditors(const ShortcutItem& item)
{
    const auto integer = [this](const std::u16string& text) {
        const std::string narrow = ports_.codePages.FromWide(text, 0);
        const bool plain = std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
        const std::optional<std::int32_t> value = plain ? ParseDecimalInteger(narrow) : std::nullopt;
        if (!value)
            throw AppError("'" + narrow + "' is not a valid integer value");
        return *value;
    };
    editors_.gameName = item.name;
    editors_.appPath = item.path;
    editors_.option = item.options;
    const std::int32_t delay = integer(item.delay);
    editors_.delayIndex = (delay >= 0 && delay <= 30 && delay % 5 == 0) ? delay / 5 : 2;
    editors_.notes = item.notes;
    const std::int32_t method = integer(item.method);
    editors_.method = (method >= Ascii && method <= UnicodeText) ? method : Ascii;
}

bool ShortcutManager::New()
{
    if (items_.size() >= settings_.ShortcutTable.size())
        return false;
    ShortcutItem item;
    item.name = kNewGameName;
    item.delay = u"10";
    item.method = u"1";
    items_.push_back(std::move(item));
    Select(static_cast<int>(items_.size()) - 1);
    return true;
}

void ShortcutManager::Renamed(int index, const std::u16string& name)
{
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
        return;
    items_[static_cast<size_t>(index)].name = name;
    editors_.gameName = name;
}

void ShortcutManager::AppPathChosen(const std::u16string& path)
{
    editors_.appPath = path;
    if (IsBlankText(editors_.gameName) || editors_.gameName == kNewGameName)
        editors_.gameName = FileNamePart(path);
}

bool ShortcutManager::Apply()
{
    if (!selected_) {
        ports_.prompts.ShowError(kSelectItemToApply);
        return false;
    }
    if (IsBlankText(editors_.gameName)) {
        ports_.prompts.ShowError(kInputGameName);
        return false;
    }
    if (IsBlankText(editors_.appPath)) {
        ports_.prompts.ShowError(kSelectAppPath);
        return false;
    }
    ShortcutItem& item = items_[static_cast<size_t>(*selected_)];
    item.name = editors_.gameName;
    item.path = editors_.appPath;
    item.options = editors_.option;
    const int delayIndex = std::clamp(editors_.delayIndex, 0, kShortcutDelayCount - 1);
    item.delay = kShortcutDelays[delayIndex];
    item.notes = editors_.notes;
    item.method = std::u16string(1, static_cast<char16_t>(u'0' + std::clamp(editors_.method, static_cast<int>(Ascii), static_cast<int>(UnicodeText))));
    item.image = imageCount_++;
    return true;
}

void ShortcutManager::DeleteSelected()
{
    if (!selected_)
        return;
    const size_t at = static_cast<size_t>(*selected_);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
    if (items_.empty()) {
        selected_.reset();
        return;
    }
    Select(static_cast<int>(std::min(at, items_.size() - 1)));
}

void ShortcutManager::OptionExit()
{
    std::string text = ports_.codePages.FromWide(editors_.option, kCodePage949);
    if (IsBlankText(text))
        return;
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    const struct {
        const char* hook;
        int method;
    } switches[] = {{"/hh", 3}, {"/ha", 1}, {"/hb", 1}, {"/hw", 1}};
    for (const auto& s : switches)
        if (text.find(s.hook) != std::string::npos)
            editors_.method = s.method;
}

bool ShortcutManager::Run(const std::u16string& agthPathBox)
{
    if (IsBlankText(agthPathBox)) {
        ports_.prompts.ShowError(kSelectAgthToRun);
        return false;
    }
    if (!ports_.files.IsExistingFile(editors_.appPath)) {
        ports_.prompts.ShowError(kCheckAppPath);
        return false;
    }
    const std::u16string parameters = BuildRunParameters(ports_.codePages, editors_.option, editors_.appPath);
    // The game's profile first, so that the shortcut's own method stands.
    if (selected_ && *selected_ >= 0 && static_cast<std::size_t>(*selected_) < items_.size())
        methodHost_.GameStarting(items_[static_cast<std::size_t>(*selected_)].name);
    methodHost_.SetGetTextMethod(std::clamp(editors_.method, static_cast<int>(Ascii), static_cast<int>(UnicodeText)));
    const int delayIndex = std::clamp(editors_.delayIndex, 0, kShortcutDelayCount - 1);
    StartCapturePause(pauseHost_, delayIndex * 5);
    ports_.launcher.Launch({settings_.Agthpath, parameters, LaunchDirectory(editors_.appPath)});
    return true;
}

} // namespace kx
