#pragma once
// The game folders in memory, for tests: "<game>\\<file>" -> bytes.
#include "platform/game_folders_port.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kx::testing {

class FakeGameFolders : public GameFoldersPort {
public:
    std::map<std::u16string, std::string> files;  // "<game>\<file>" -> bytes
    std::vector<std::u16string> extraFolders;
    bool writable = true;
    int writes = 0;
    int appends = 0;

    std::vector<std::u16string> GameNames() override
    {
        std::vector<std::u16string> names = extraFolders;
        for (const auto& [path, bytes] : files)
            names.push_back(path.substr(0, path.find(u'\\')));
        return names;
    }
    FileReadResult ReadGameFile(const std::u16string& game, std::u16string_view file) override
    {
        const auto found = files.find(game + u"\\" + std::u16string(file));
        if (found == files.end())
            return {FileReadStatus::Missing, {}};
        return {FileReadStatus::Read, found->second};
    }
    bool ReplaceGameFile(const std::u16string& game, std::u16string_view file, std::string_view bytes) override
    {
        if (!writable)
            return false;
        ++writes;
        files[game + u"\\" + std::u16string(file)] = std::string(bytes);
        return true;
    }
    bool AppendGameFile(const std::u16string& game, std::u16string_view file, std::string_view bytes) override
    {
        if (!writable)
            return false;
        ++appends;
        files[game + u"\\" + std::u16string(file)] += std::string(bytes);
        return true;
    }
    std::u16string GameFilePath(const std::u16string& game, std::u16string_view file) override
    {
        return u"C:\\KX\\Games\\" + game + u"\\" + std::u16string(file);
    }
};

} // namespace kx::testing
