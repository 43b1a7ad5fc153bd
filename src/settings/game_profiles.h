#pragma once
// Game profiles: Games\<name>\profile.ini beside the program holds what
// differs for one game, in the sections, keys and value forms of
// KestruneEX.ini (as UTF-8 text). A single value there replaces the global
// one while the profile is in force; the game's substitutions come before the
// global ones, and its glossary joins the global one, its pair winning where
// both have the same term. A profile that cannot be read whole is never
// written: the global values stand in for what it could not give.
#include "platform/code_page_port.h"
#include "platform/game_folders_port.h"
#include "settings/app_settings.h"
#include "settings/ini_file.h"

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

inline constexpr char16_t kProfileFileName[] = u"profile.ini";
// The folder of what is kept without a profile; no profile may have its name.
inline constexpr char16_t kNoProfileFolder[] = u"(none)";
inline constexpr std::size_t kMaxProfileNameLength = 64;

// Why `name` cannot name a profile (a Windows folder name), or nullopt.
std::optional<std::u16string> ProfileNameProblem(std::u16string_view name);

// The profile's own values read on top of `global`: each single value the
// profile holds replaces the global one, and the lists are the profile's
// alone. The "Section/Key" of each value that does not read goes to
// `unreadable`; its global value stays.
AppSettings ProfileValues(const IniFile& profile, const AppSettings& global, std::vector<std::string>& unreadable);

// `inUse` with the per-game values in force: the profile's single values,
// its lists before the global ones, one glossary of both.
void ApplyProfile(const AppSettings& own, const AppSettings& global, AppSettings& inUse);

// Copies every value a profile may hold from `from` to `to`.
void CopyPerGameValues(const AppSettings& from, AppSettings& to);

// Writes the profile's own values into `profile`: a single value only where
// it differs from the global one (else its key goes), the lists as they are.
// `fileForm` turns each value (ANSI text) into the file's form.
void WriteProfile(IniFile& profile, const AppSettings& own, const AppSettings& global,
                  const std::function<std::string(std::string_view)>& fileForm = {});

// The profile in force and its file.
class GameProfiles {
public:
    GameProfiles(GameFoldersPort& folders, CodePagePort& codePages);

    // The global values a profile builds on (those of KestruneEX.ini).
    void SetGlobal(const AppSettings& global);
    const AppSettings& Global() const { return global_; }

    // Makes `name` the profile in force (empty: none) and reads its file; a
    // profile without a file is made, empty, when `makeMissing`. Returns the
    // lines to log: «Game profile: <name>» (or «Game profile: none») when
    // the profile changed, and what could not be read.
    std::vector<std::u16string> Activate(const std::u16string& name, bool makeMissing);
    const std::u16string& Active() const { return active_; }
    bool IsActive() const { return !active_.empty(); }

    // The profile's own values (single values as in force, the game's own lists).
    AppSettings Own() const;
    // `inUse` with the values in force: the global ones under the profile's.
    void ApplyTo(AppSettings& inUse) const;
    // Writes the profile's new own values at once; the reason when it could not.
    std::optional<std::u16string> ChangeOwn(const AppSettings& own);
    // The user changed single values in force from `before` to `after`
    // (lists are not looked at). Each goes to the global settings, and the
    // profile in force gives its own value of it up; those of `forProfile`
    // ("Section/Key") go to the profile instead while one is in force. The
    // reason when the profile could not be written.
    std::optional<std::u16string> TakeChanges(const AppSettings& before, const AppSettings& after,
                                              std::initializer_list<std::string_view> forProfile);

    // The profiles there are, in name order.
    std::vector<std::u16string> Names() const;

private:
    std::vector<std::u16string> ReadActiveFile(bool makeMissing);

    GameFoldersPort& folders_;
    CodePagePort& codePages_;
    AppSettings global_;
    std::u16string active_;
    IniFile profile_;            // the file's values as ANSI text
    std::string fileBytes_;      // the file as read, for the next write
    bool readable_ = true;       // false: the file is never written
};

} // namespace kx
