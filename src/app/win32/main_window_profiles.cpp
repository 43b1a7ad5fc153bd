// The main window's game profiles: which one is in force (Options › Game
// profile, a game started from a shortcut), and the settings in force made
// anew from the global ones and the profile's whenever either changes.
#include "app/program_title.h"
#include "app/win32/main_window.h"
#include "app/win32/resource_ids.h"
#include "common/text.h"
#include "common/windows_wide.h"
#include "platform/win32/ui/profile_scope.h"
#include "settings/win32/profile_name_dialog.h"

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <utility>

namespace kx::win32 {
namespace {

constexpr std::size_t kMaxProfileMenuItems = ID_PROFILE_LAST - ID_PROFILE_FIRST + 1;

// The history's time: the local date and time, YYYY-MM-DD HH:MM:SS.
std::string LocalTimeText()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

} // namespace

void MainWindow::CreateProfiles()
{
    gameFolders_ = std::make_unique<Win32GameFolders>(ProgramFolder());
    profiles_ = std::make_unique<GameProfiles>(*gameFolders_, codePages_);
    memory_ = std::make_unique<TranslationMemory>(*gameFolders_);
    history_ = std::make_unique<GameHistory>(*gameFolders_, LocalTimeText);
    capture_->Pipeline().SetMemory(memory_.get());
    capture_->Pipeline().SetHistory(history_.get());
    capture_->Pipeline().SetOnCapturedLine([this] { CapturedLineShown(); });
    profileNameDialog_ = std::make_unique<ProfileNameDialog>(instance_);
    profileNameDialog_->Create(window_);
    correctionDialog_ = std::make_unique<CorrectionDialog>(instance_);
    correctionDialog_->Create(window_);
}

// After the settings file is read: what it holds is the global settings, and
// the profile it names comes into force.
void MainWindow::LoadProfile()
{
    profiles_->SetGlobal(settings_);
    const std::u16string stored = settings_.ActiveProfile;
    // A stored name that cannot be a profile (edited by hand) is none.
    std::vector<std::u16string> lines;
    if (!ProfileNameProblem(stored))
        lines = profiles_->Activate(stored, false);
    for (const std::u16string& line : lines)
        capture_->Pipeline().AddProgramLine(line);
    profiles_->ApplyTo(settings_);
    model_.SetGetTextMethod(settings_.GetTextMethod);
    model_.PublishFilters();
    UseGameFiles();
}

void MainWindow::OpenHistoryFolder1Click()
{
    const std::u16string game = profiles_->IsActive() ? profiles_->Active() : std::u16string(kNoProfileFolder);
    // A history not begun yet: the folder and an empty file, so that there is something to open.
    if (!gameFolders_->AppendGameFile(game, kHistoryFileName, {})) {
        prompts_.ShowAppError(u"Cannot make the folder " + gameFolders_->GameFilePath(game, u""));
        return;
    }
    const std::wstring folder = Wide(gameFolders_->GameFilePath(game, u""));
    const auto opened = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(window_, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened <= 32)
        prompts_.ShowAppError(u"Cannot open the folder " + Utf16(folder));
}

void MainWindow::UseGameFiles()
{
    const std::u16string game = profiles_->IsActive() ? profiles_->Active() : std::u16string(kNoProfileFolder);
    memory_->LoadInBackground(game, capture_->UiThread(), [this](std::vector<std::u16string> lines) {
        for (const std::u16string& line : lines)
            capture_->Pipeline().AddProgramLine(line);
    });
    history_->UseGame(game);
    history_->SetOn(settings_.HistoryOn());
    capture_->Companion().SetGame(profiles_->IsActive() ? profiles_->Active() : std::u16string());
}

void MainWindow::SwitchProfile(const std::u16string& name, bool makeMissing)
{
    const AppSettings before = settings_;
    for (const std::u16string& line : profiles_->Activate(name, makeMissing))
        capture_->Pipeline().AddProgramLine(line);
    profiles_->ApplyTo(settings_);
    ApplyInForce(before);
    UseGameFiles();
}

// A game started from a shortcut: the profile named after the shortcut.
void MainWindow::GameStarting(const std::u16string& name)
{
    if (const std::optional<std::u16string> problem = ProfileNameProblem(name)) {
        capture_->Pipeline().AddProgramLine(u"Game profile: \"" + name + u"\" cannot name a profile: " + *problem);
        SwitchProfile(u"", false);
        return;
    }
    SwitchProfile(name, true);
}

void MainWindow::TakeSettingsChanges(const AppSettings& before, std::initializer_list<std::string_view> forProfile)
{
    if (std::optional<std::u16string> problem = profiles_->TakeChanges(before, settings_, forProfile))
        capture_->Pipeline().AddProgramLine(u"Game profile " + profiles_->Active() + u": " + *problem);
    profiles_->ApplyTo(settings_);
    ApplyInForce(before);
}

void MainWindow::SaveScopedEdit(const std::function<void(AppSettings&)>& writeAllGames, bool allGamesChanged,
                                const std::function<void(AppSettings&)>& writeThisGame, bool thisGameChanged)
{
    const AppSettings before = settings_;
    // The game's first, against the global values it was shown beside.
    if (thisGameChanged && profiles_->IsActive()) {
        AppSettings own = profiles_->Own();
        writeThisGame(own);
        if (const std::optional<std::u16string> problem = profiles_->ChangeOwn(own))
            prompts_.ShowAppError(*problem);
    }
    if (allGamesChanged) {
        AppSettings global = profiles_->Global();
        writeAllGames(global);
        profiles_->SetGlobal(global);
    }
    profiles_->ApplyTo(settings_);
    ApplyInForce(before);
}

// What the program does with the settings in force after they changed.
void MainWindow::ApplyInForce(const AppSettings& before)
{
    model_.PublishFilters();
    if (settings_.GetTextMethod != before.GetTextMethod)
        model_.SetGetTextMethod(settings_.GetTextMethod);
    if (!(settings_.Server == before.Server))
        capture_->ConfigureServer(settings_.Server);
    if (!(DeepLInForce(settings_) == DeepLInForce(before)) || !(PapagoInForce(settings_) == PapagoInForce(before)))
        capture_->ConfigureServices(settings_);
    if (settings_.Engine != before.Engine) {
        if (settings_.Engine != EngineKind::EzTrans)
            capture_->Pipeline().AddProgramLine(MainEngineLine());
        else if (capture_->EzTransReady())
            capture_->Pipeline().AddProgramLine(Widen(kEngineSuccessLine));
    } else if (settings_.Engine == EngineKind::Server && settings_.Server.url != before.Server.url) {
        capture_->Pipeline().AddProgramLine(ServerLogLine(settings_.Server));
    }
    StartEzTransIfUsed();  // says so when it starts
    ShowTranslationPossible();
    if (settings_.Source != before.Source || settings_.WebSocketUrls() != before.WebSocketUrls())
        StartTextSource();
    if (!(settings_.Companion == before.Companion))
        StartCompanion();
    if (history_)
        history_->SetOn(settings_.HistoryOn());
}

// The record KestruneEX.ini gets: the settings in force with the global
// values under the profile's.
AppSettings MainWindow::GlobalSettingsToSave() const
{
    AppSettings saved = settings_;
    CopyPerGameValues(profiles_->Global(), saved);
    saved.ActiveProfile = profiles_->Active();
    return saved;
}

// Options › Game profile, filled each time it opens: none, the profiles
// there are, and a new one.
void MainWindow::FillProfileMenu(HMENU menu)
{
    while (::GetMenuItemCount(menu) > 0)
        ::DeleteMenu(menu, 0, MF_BYPOSITION);
    profileMenuNames_ = profiles_->Names();
    ::AppendMenuW(menu, MF_STRING, ID_PROFILE_NONE, L"&None (all games)");
    if (!profileMenuNames_.empty())
        ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    int checked = ID_PROFILE_NONE;
    for (std::size_t i = 0; i < profileMenuNames_.size() && i < kMaxProfileMenuItems; ++i) {
        if (profileMenuNames_[i] == profiles_->Active())
            checked = ID_PROFILE_FIRST + static_cast<int>(i);
        ::AppendMenuW(menu, MF_STRING, ID_PROFILE_FIRST + static_cast<UINT>(i), CaptionOf(profileMenuNames_[i]).c_str());
    }
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, ID_PROFILE_NEW, L"New &profile..");
    ::CheckMenuRadioItem(menu, ID_PROFILE_NONE, ID_PROFILE_LAST, checked, MF_BYCOMMAND);
}

bool MainWindow::IsProfileMenu(HMENU menu) const
{
    return ::GetMenuItemID(menu, 0) == ID_PROFILE_NONE;
}

void MainWindow::OnProfileCommand(int id)
{
    if (id == ID_PROFILE_NONE) {
        SwitchProfile(u"", false);
    } else if (id == ID_PROFILE_NEW) {
        NewProfile1Click();
    } else {
        if (profileMenuNames_.empty())
            profileMenuNames_ = profiles_->Names();  // chosen without the menu opened (a test's command)
        const auto index = static_cast<std::size_t>(id - ID_PROFILE_FIRST);
        if (index < profileMenuNames_.size())
            SwitchProfile(profileMenuNames_[index], true);
    }
}

void MainWindow::NewProfile1Click()
{
    if (std::optional<std::u16string> name = profileNameDialog_->Ask())
        SwitchProfile(*name, true);
}

} // namespace kx::win32
