#pragma once
// The game profiles' folders on Win32: Games\ in the program's folder, by
// UTF-16 paths, so that a game's name in any script is its folder's name.
#include "platform/game_folders_port.h"

#include <string>

namespace kx::win32 {

class Win32GameFolders : public GameFoldersPort {
public:
    // `programFolder`: the folder of the executable, ending with "\".
    explicit Win32GameFolders(std::wstring programFolder);

    std::vector<std::u16string> GameNames() override;
    FileReadResult ReadGameFile(const std::u16string& game, std::u16string_view file) override;
    bool ReplaceGameFile(const std::u16string& game, std::u16string_view file, std::string_view bytes) override;
    bool AppendGameFile(const std::u16string& game, std::u16string_view file, std::string_view bytes) override;
    std::u16string GameFilePath(const std::u16string& game, std::u16string_view file) override;

private:
    // Games\ and Games\<game>\ where they are missing; false when one cannot be made.
    bool MakeFolder(const std::u16string& game);

    std::wstring games_;  // "<program folder>Games\"
};

// The folder of the running executable, ending with "\" (GetModuleFileNameW).
std::wstring ProgramFolder();

} // namespace kx::win32
