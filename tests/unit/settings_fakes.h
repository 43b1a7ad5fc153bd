#pragma once
// In-memory stand-ins for the ports the settings file uses.
#include "platform/code_page_port.h"
#include "platform/prompts_port.h"
#include "platform/text_file_port.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kx::testing {

class FakeTextFiles : public TextFilePort {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> unreadable;   // exist, but reading fails
    bool failWrites = false;
    int writes = 0;

    FileReadResult ReadWholeFile(const std::string& path) override
    {
        if (unreadable.count(path))
            return {FileReadStatus::Failed, {}};
        const auto found = files.find(path);
        if (found == files.end())
            return {FileReadStatus::Missing, {}};
        return {FileReadStatus::Read, found->second};
    }
    bool ReplaceWholeFile(const std::string& path, std::string_view bytes) override
    {
        ++writes;
        if (failWrites)
            return false;
        files[path] = std::string(bytes);
        return true;
    }
};

class FakePrompts : public PromptsPort {
public:
    std::vector<std::u16string> errors;
    std::vector<std::u16string> appErrors;
    void ShowError(const std::u16string& text) override { errors.push_back(text); }
    void ShowAppError(const std::u16string& text) override { appErrors.push_back(text); }
};

// Latin-1 both ways: enough for paths in tests.
class Latin1CodePages : public CodePagePort {
public:
    std::u16string ToWide(std::string_view bytes, int) override
    {
        std::u16string out;
        for (unsigned char c : bytes)
            out.push_back(c);
        return out;
    }
    std::string FromWide(std::u16string_view text, int) override
    {
        std::string out;
        for (char16_t c : text)
            out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
        return out;
    }
};

} // namespace kx::testing
