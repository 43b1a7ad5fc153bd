#include "translate/memory_file.h"

#include "common/utf.h"

#include <algorithm>

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

// The field's bytes with its escapes undone; nothing when an escape is
// none of the four or the bytes are no UTF-8.
bool Unescape(std::string_view field, std::string& bytes)
{
    bytes.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            bytes.push_back(field[i]);
            continue;
        }
        if (++i == field.size())
            return false;
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
            return false;
        }
    }
    return !bytes.empty() && Utf16FromWellFormedUtf8(bytes).has_value();
}

// A memory line (without its line end) unescaped into `source` and
// `translation`; false when it is no UTF-8, has no tab or more than one, an
// escape that is none of the four, or an empty side.
bool ReadFields(std::string_view line, std::string& source, std::string& translation)
{
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || line.find('\t', tab + 1) != std::string_view::npos)
        return false;
    return Unescape(line.substr(0, tab), source) && Unescape(line.substr(tab + 1), translation);
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

std::string_view PairStore::Keep(std::string_view text)
{
    if (text.size() > kBlockBytes - blockUsed_) {
        // A text longer than a block gets a block of its own.
        blocks_.push_back(std::make_unique<char[]>(std::max(kBlockBytes, text.size())));
        blockUsed_ = 0;
    }
    char* at = blocks_.back().get() + blockUsed_;
    std::copy(text.begin(), text.end(), at);
    blockUsed_ += text.size();
    if (text.size() > kBlockBytes)
        blockUsed_ = kBlockBytes;  // full: the next text starts a new block
    return {at, text.size()};
}

void PairStore::Put(std::string_view source, std::string_view translation)
{
    const auto known = index_.find(source);
    if (known != index_.end()) {
        if (known->second != translation)
            known->second = Keep(translation);
        return;
    }
    const std::string_view kept = Keep(source);
    index_.emplace(kept, Keep(translation));
}

void PairStore::Put(std::u16string_view source, std::u16string_view translation)
{
    Put(std::string_view(Utf8FromUtf16(source)), std::string_view(Utf8FromUtf16(translation)));
}

std::optional<std::string_view> PairStore::Find(std::string_view source) const
{
    const auto found = index_.find(source);
    if (found == index_.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::u16string> PairStore::Find(std::u16string_view source) const
{
    const std::optional<std::string_view> found = Find(std::string_view(Utf8FromUtf16(source)));
    if (!found)
        return std::nullopt;
    return Utf16FromUtf8(*found);
}

MemoryContents ReadMemory(std::string_view bytes)
{
    MemoryContents memory;
    std::string source, translation;  // one line's fields, reused
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
        if (ReadFields(line, source, translation)) {
            memory.pairs.Put(std::string_view(source), std::string_view(translation));
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
    memory.pairs.ForEach([&out](std::string_view source, std::string_view translation) {
        out += MemoryLine(Utf16FromUtf8(source), Utf16FromUtf8(translation));
    });
    return out;
}

} // namespace kx
