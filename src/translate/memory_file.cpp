#include "translate/memory_file.h"

#include "common/utf.h"

namespace kx {
namespace {

void AppendEscaped(std::string& out, std::u16string_view field)
{
    for (const char c : Utf8FromUtf16(field)) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out.push_back(c);
        }
    }
}

std::optional<std::u16string> Unescaped(std::string_view field)
{
    std::string bytes;
    bytes.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            bytes.push_back(field[i]);
            continue;
        }
        if (++i == field.size())
            return std::nullopt;
        switch (field[i]) {
        case 't':
            bytes.push_back('\t');
            break;
        case 'n':
            bytes.push_back('\n');
            break;
        case 'r':
            bytes.push_back('\r');
            break;
        case '\\':
            bytes.push_back('\\');
            break;
        default:
            return std::nullopt;
        }
    }
    return Utf16FromWellFormedUtf8(bytes);
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

} // namespace

std::string MemoryLine(std::u16string_view source, std::u16string_view translation)
{
    std::string line;
    AppendEscaped(line, source);
    line.push_back('\t');
    AppendEscaped(line, translation);
    line += "\r\n";
    return line;
}

std::string HistoryLine(std::string_view when, std::u16string_view source, std::u16string_view shown)
{
    std::string line(when);
    line.push_back('\t');
    AppendEscaped(line, source);
    line.push_back('\t');
    AppendEscaped(line, shown);
    line += "\r\n";
    return line;
}

std::optional<std::pair<std::u16string, std::u16string>> ReadMemoryLine(std::string_view line)
{
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || line.find('\t', tab + 1) != std::string_view::npos)
        return std::nullopt;
    std::optional<std::u16string> source = Unescaped(line.substr(0, tab));
    std::optional<std::u16string> translation = Unescaped(line.substr(tab + 1));
    // An empty side would show nothing, or stand for no text at all.
    if (!source || !translation || source->empty() || translation->empty())
        return std::nullopt;
    return std::pair{std::move(*source), std::move(*translation)};
}

MemoryContents ReadMemory(std::string_view bytes)
{
    MemoryContents memory;
    if (bytes.starts_with(kByteOrderMark))
        bytes.remove_prefix(kByteOrderMark.size());
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty())
            continue;
        if (auto pair = ReadMemoryLine(line)) {
            memory.pairs.insert_or_assign(std::move(pair->first), std::move(pair->second));
            ++memory.lines;
        } else {
            ++memory.unreadable;
        }
    }
    return memory;
}

std::string CompactedMemory(const MemoryContents& memory)
{
    std::string out;
    for (const auto& [source, translation] : memory.pairs)
        out += MemoryLine(source, translation);
    return out;
}

} // namespace kx
