#include "agth/agth_rules.h"

#include "common/text.h"

#include <algorithm>

namespace kx {
namespace {

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

// Every occurrence of `part` deleted in one left-to-right pass.
std::string DeleteAll(std::string_view text, std::string_view part)
{
    std::string out;
    size_t from = 0;
    for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, from)) {
        out.append(text.substr(from, at - from));
        from = at + part.size();
    }
    out.append(text.substr(from));
    return out;
}

template <typename Char>
bool IsBlankUnit(Char c)
{
    return static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Char>>(c)) <= 32;
}

template <typename Char>
bool IsBlank(std::basic_string_view<Char> text)
{
    return std::all_of(text.begin(), text.end(), [](Char c) { return IsBlankUnit(c); });
}

} // namespace

bool ListsProcessName(std::string_view exeName)
{
    const std::string lower = LowerAscii(exeName);
    return !Contains(lower, "hook") && !Contains(lower, "clubbox.exe");
}

std::vector<ProcessRow> ProcessListRows(const std::vector<ProcessEntry>& reported)
{
    std::vector<ProcessRow> rows;
    for (size_t i = 0; i < reported.size(); ++i)
        if (i == 0 || ListsProcessName(reported[i].exeName))
            rows.push_back({std::to_string(reported[i].id), reported[i].exeName});
    std::reverse(rows.begin(), rows.end());
    return rows;
}

std::string ApplyDefaultAgthSwitches(std::string options)
{
    if (!Contains(LowerAscii(options), "/c"))
        options += " /C";
    const std::string lower = LowerAscii(options);
    if (!Contains(lower, "/l") && !Contains(lower, "/r"))
        options += " /L";
    return options;
}

int AdjustMethodForHookOptions(int method, std::string_view options)
{
    const std::string lower = LowerAscii(options);
    if (method == 1 && Contains(lower, "/hh"))
        method = 3;
    if (method == 2 || method == 3)
        for (std::string_view hook : {"/ha", "/hb", "/hw"})
            if (Contains(lower, hook))
                method = 1;
    return method;
}

std::string RemoveProcessSwitch(std::string options)
{
    if (!Contains(LowerAscii(options), "/p"))
        return options;
    return DeleteAll(DeleteAll(options, "/p"), "/P");
}

std::string BuildAttachParameters(std::string_view processId, std::string_view options)
{
    std::string out = "/P";
    out.append(processId);
    out.push_back(' ');
    out.append(options);
    return out;
}

std::u16string BuildRunParameters(CodePagePort& codePages, std::u16string_view options,
                                  std::u16string_view gamePath)
{
    const std::string korean = ApplyDefaultAgthSwitches(codePages.FromWide(options, 949));
    std::u16string out = codePages.ToWide(korean, 0);
    out.push_back(u' ');
    out.append(gamePath);
    return out;
}

std::u16string DirectoryPart(std::u16string_view path)
{
    const size_t slash = path.rfind(u'\\');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(0, slash + 1));
}

std::u16string LaunchDirectory(std::u16string_view path)
{
    if (path.find(u'\\') == std::u16string_view::npos)
        return {};
    return DirectoryPart(path);
}

bool IsBlankText(std::string_view text)
{
    return IsBlank(text);
}

bool IsBlankText(std::u16string_view text)
{
    return IsBlank(text);
}

std::vector<std::string> LoadOptionHistory(std::string_view stored)
{
    std::vector<std::string> items;
    size_t from = 0;
    while (true) {
        const size_t comma = stored.find(',', from);
        const std::string_view piece =
            stored.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from);
        if (!IsBlankText(piece))
            items.emplace_back(piece);
        if (comma == std::string_view::npos)
            break;
        from = comma + 1;
    }
    return items;
}

bool UpdateOptionHistory(std::vector<std::string>& items, const std::string& text)
{
    bool moved = false;
    if (!IsBlankText(text)) {
        std::erase(items, text);
        items.insert(items.begin(), text);
        moved = true;
    }
    if (items.size() > static_cast<size_t>(kOptionHistorySlots))
        items.erase(items.begin() + kOptionHistorySlots);
    return moved;
}

std::string SaveOptionHistory(const std::vector<std::string>& items)
{
    std::string out;
    for (int i = 0; i < kOptionHistorySlots; ++i) {
        if (i > 0)
            out.push_back(',');
        if (static_cast<size_t>(i) < items.size())
            out += items[static_cast<size_t>(i)];
    }
    return out;
}

} // namespace kx
