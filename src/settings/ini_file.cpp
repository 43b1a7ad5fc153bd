#include "settings/ini_file.h"

#include "common/text.h"

#include <algorithm>
#include <stdexcept>

namespace kx {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a'; }

std::size_t SkipBlanks(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    return pos;
}

std::string_view Trim(std::string_view text)
{
    const std::size_t begin = SkipBlanks(text, 0);
    std::size_t end = text.size();
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// Names compare up to a NUL byte, as the platform's wide strings do.
std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

// The form in which names are compared: up to a NUL, ASCII letters in lower case.
std::string FoldedName(std::string_view name)
{
    return LowerAscii(UpToNul(name));
}

// The section name of a header line, or nullopt when the line is no header.
std::optional<std::string_view> HeaderName(std::string_view text)
{
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty() || trimmed.front() != '[')
        return std::nullopt;
    const std::size_t close = trimmed.rfind(']');
    if (close == std::string_view::npos || close == 0)
        return std::nullopt;
    return Trim(trimmed.substr(1, close - 1));
}

// The parts of a key line (a line that is neither blank nor a header).
struct KeyLine {
    std::size_t nameBegin = 0;
    std::size_t nameEnd = 0;
    bool hasEquals = false;
    std::size_t valueBegin = 0;   // after "=" and the blanks behind it
    std::size_t valueEnd = 0;     // before the blanks at the end of the line

    std::string_view Name(std::string_view text) const { return text.substr(nameBegin, nameEnd - nameBegin); }
};

KeyLine SplitKeyLine(std::string_view text)
{
    KeyLine parts;
    parts.nameBegin = SkipBlanks(text, 0);
    std::size_t contentEnd = text.size();
    while (contentEnd > parts.nameBegin && IsBlank(text[contentEnd - 1]))
        --contentEnd;
    const std::size_t equals = text.find('=', parts.nameBegin);
    if (equals == std::string_view::npos || equals >= contentEnd) {
        parts.nameEnd = contentEnd;
        return parts;
    }
    parts.hasEquals = true;
    parts.nameEnd = equals;
    while (parts.nameEnd > parts.nameBegin && IsBlank(text[parts.nameEnd - 1]))
        --parts.nameEnd;
    parts.valueBegin = SkipBlanks(text, equals + 1);
    parts.valueEnd = std::max(contentEnd, parts.valueBegin);
    return parts;
}

// The value of a key line as the platform hands it out: up to a NUL, and
// without a pair of matching quotes around it.
std::string ReadValue(std::string_view text, const KeyLine& parts)
{
    std::string_view value = UpToNul(text.substr(parts.valueBegin, parts.valueEnd - parts.valueBegin));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string_view OneLine(std::string_view value)
{
    return value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
}

// Names the program passes in: not empty, no blanks around them, one line, and
// a key name without "=" that cannot be taken for a section header.
void CheckName(std::string_view name, bool isSection)
{
    bool usable = !name.empty() && Trim(name).size() == name.size() &&
                  name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
    if (!isSection)
        usable = usable && name.find('=') == std::string_view::npos && name.front() != '[';
    if (!usable)
        throw std::invalid_argument("unusable INI name: " + std::string(name));
}

} // namespace

IniFile IniFile::Parse(std::string_view bytes)
{
    IniFile file;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        file.bom_ = std::string(bytes.substr(0, 3));
        bytes.remove_prefix(3);
    }
    bool newLineSeen = false;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t breakAt = bytes.find_first_of("\r\n", pos);
        Line line;
        if (breakAt == std::string_view::npos) {
            line.text = std::string(bytes.substr(pos));
            pos = bytes.size();
        } else {
            line.text = std::string(bytes.substr(pos, breakAt - pos));
            const std::size_t breakLength =
                (bytes[breakAt] == '\r' && breakAt + 1 < bytes.size() && bytes[breakAt + 1] == '\n') ? 2 : 1;
            line.end = std::string(bytes.substr(breakAt, breakLength));
            pos = breakAt + breakLength;
            if (!newLineSeen) {
                file.newLine_ = line.end;
                newLineSeen = true;
            }
        }
        if (const auto name = HeaderName(line.text)) {
            file.CloseSection();
            Section section;
            section.name = std::string(*name);
            section.header = std::move(line);
            file.sections_.push_back(std::move(section));
            file.IndexSection(file.sections_.size() - 1);
        } else {
            Section& section = file.sections_.back();
            section.body.push_back(std::move(line));
            section.IndexLine(section.body.size() - 1);
        }
    }
    file.CloseSection();
    return file;
}

void IniFile::IndexSection(std::size_t index)
{
    sectionIndex_.emplace(FoldedName(sections_[index].name), index);   // keeps the first of a name
}

// The last section read: its blank lines at the end become its tail.
void IniFile::CloseSection()
{
    sections_.back().Compact();
}

void IniFile::Section::IndexLine(std::size_t index)
{
    const std::string& text = body[index].text;
    keys[FoldedName(SplitKeyLine(text).Name(text))].push_back(index);
}

// Drops the removed lines, moves the blank lines at the body's end to the
// front of the tail and indexes the body anew.
void IniFile::Section::Compact()
{
    if (removedLines != 0) {
        std::erase_if(body, [](const Line& line) { return line.removed; });
        removedLines = 0;
    }
    std::size_t contentEnd = body.size();
    while (contentEnd > 0 && Trim(body[contentEnd - 1].text).empty())
        --contentEnd;
    if (contentEnd < body.size()) {
        tail.insert(tail.begin(), std::make_move_iterator(body.begin() + static_cast<std::ptrdiff_t>(contentEnd)),
                    std::make_move_iterator(body.end()));
        body.resize(contentEnd);
    }
    keys.clear();
    for (std::size_t i = 0; i < body.size(); ++i)
        IndexLine(i);
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const
{
    const auto found = sectionIndex_.find(FoldedName(Trim(name)));
    return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

IniFile::Section* IniFile::FindSection(std::string_view name)
{
    return const_cast<Section*>(static_cast<const IniFile&>(*this).FindSection(name));
}

std::optional<std::size_t> IniFile::FindKey(const Section& section, std::string_view key)
{
    // The tail's lines are blank: no key is found there that the body lacks.
    const auto found = section.keys.find(FoldedName(Trim(key)));
    if (found == section.keys.end() || found->second.empty())
        return std::nullopt;
    return found->second.front();
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const
{
    const Section* found = FindSection(section);
    if (!found)
        return std::nullopt;
    const auto index = FindKey(*found, key);
    if (!index)
        return std::nullopt;
    const std::string& text = found->body[*index].text;
    const KeyLine parts = SplitKeyLine(text);
    if (!parts.hasEquals)
        return std::nullopt;
    return ReadValue(text, parts);
}

std::string IniFile::StoredForm(std::string_view value)
{
    value = OneLine(value);
    const bool needsQuotes =
        !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                           (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                            value.back() == value.front()));
    std::string stored;
    stored.reserve(value.size() + 2);
    if (needsQuotes)
        stored.push_back('"');
    stored.append(value);
    if (needsQuotes)
        stored.push_back('"');
    return stored;
}

IniFile::Line* IniFile::LastLine()
{
    for (auto section = sections_.rbegin(); section != sections_.rend(); ++section) {
        if (!section->tail.empty())
            return &section->tail.back();
        for (auto line = section->body.rbegin(); line != section->body.rend(); ++line)
            if (!line->removed)
                return &*line;
        if (section->header)
            return &*section->header;
    }
    return nullptr;
}

void IniFile::TerminateLastLine()
{
    if (Line* last = LastLine(); last && last->end.empty())
        last->end = newLine_;
}

bool IniFile::Remove(std::string_view section, std::string_view key)
{
    Section* found = FindSection(section);
    const std::string name = FoldedName(Trim(key));
    if (!found || name.empty())
        return false;
    const auto lines = found->keys.find(name);
    if (lines == found->keys.end())
        return false;
    // Marked only: the other lines keep their places in the index.
    for (const std::size_t index : lines->second)
        found->body[index].removed = true;
    found->removedLines += lines->second.size();
    found->keys.erase(lines);
    return true;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value)
{
    CheckName(section, true);
    CheckName(key, false);
    value = OneLine(value);
    const std::string stored = StoredForm(value);

    Section* found = FindSection(section);
    if (!found) {
        TerminateLastLine();
        Section added;
        added.name = std::string(section);
        added.header = Line{std::string("[").append(section).append("]"), newLine_};
        added.body.push_back(Line{std::string(key).append("=").append(stored), newLine_});
        added.IndexLine(0);
        sections_.push_back(std::move(added));
        IndexSection(sections_.size() - 1);
        return;
    }

    if (const auto index = FindKey(*found, key)) {
        Line& line = found->body[*index];
        const KeyLine parts = SplitKeyLine(line.text);
        if (parts.hasEquals) {
            if (ReadValue(line.text, parts) == value)
                return;
            line.text.resize(parts.valueBegin);
            line.text.append(stored);
        } else {
            line.text.resize(parts.nameEnd);
            line.text.append("=").append(stored);
        }
        return;
    }

    // Behind the last line that is not blank, which the body ends with once
    // removed lines are gone.
    if (found->removedLines != 0)
        found->Compact();
    if (found->tail.empty() && found == &sections_.back())
        TerminateLastLine();
    found->body.push_back(Line{std::string(key).append("=").append(stored), newLine_});
    found->IndexLine(found->body.size() - 1);
}

std::string IniFile::Serialize() const
{
    std::size_t size = bom_.size();
    const auto lineSize = [](const Line& line) { return line.removed ? 0 : line.text.size() + line.end.size(); };
    for (const Section& section : sections_) {
        if (section.header)
            size += lineSize(*section.header);
        for (const Line& line : section.body)
            size += lineSize(line);
        for (const Line& line : section.tail)
            size += lineSize(line);
    }
    std::string out;
    out.reserve(size);
    out += bom_;
    const auto append = [&out](const Line& line) {
        if (!line.removed)
            out.append(line.text).append(line.end);
    };
    for (const Section& section : sections_) {
        if (section.header)
            append(*section.header);
        for (const Line& line : section.body)
            append(line);
        for (const Line& line : section.tail)
            append(line);
    }
    return out;
}

} // namespace kx
