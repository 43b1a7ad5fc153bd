#pragma once
// The folders of the game profiles: Games\<name>\ beside the program, each
// holding the files the program keeps for that game.
#include "platform/text_file_port.h"

#include <string>
#include <string_view>
#include <vector>

namespace kx {

class GameFoldersPort {
public:
    virtual ~GameFoldersPort() = default;
    // The names of the folders under Games\, in any order; none when it is missing.
    virtual std::vector<std::u16string> GameNames() = 0;
    // Games\<game>\<file>, read whole.
    virtual FileReadResult ReadGameFile(const std::u16string& game, std::u16string_view file) = 0;
    // Makes Games\<game>\ where it is missing, then replaces the file in one
    // step, as TextFilePort::ReplaceWholeFile does. False on any failure.
    virtual bool ReplaceGameFile(const std::u16string& game, std::u16string_view file, std::string_view bytes) = 0;
    // Makes Games\<game>\ where it is missing, then adds `bytes` at the end
    // of the file (made where missing); they are the system's before this
    // returns, so that the program ending at any moment loses none of them.
    // False on any failure.
    virtual bool AppendGameFile(const std::u16string& game, std::u16string_view file, std::string_view bytes) = 0;
    // The full path of Games\<game>\<file>, for messages.
    virtual std::u16string GameFilePath(const std::u16string& game, std::u16string_view file) = 0;
};

} // namespace kx
