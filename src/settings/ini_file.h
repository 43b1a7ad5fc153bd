#pragma once
// An INI file held as its lines, read and updated by the rules of the
// platform's private-profile functions (GetPrivateProfileStringA and
// WritePrivateProfileStringA), with every line that is not updated kept
// byte for byte.
//
// Reading, as the platform does it:
//  - Lines end at LF, CR LF or a lone CR. A UTF-8 byte-order mark at the start
//    of the file is not part of the first line.
//  - A line whose text, without blanks around it, starts with "[" and holds a
//    "]" opens a section; its name is the text between the "[" and the last
//    "]", without blanks around it. Lines before the first section belong to
//    no section.
//  - Every other line that is not blank is a key line: the key name is the text
//    before the first "=", the value the text after it, both without blanks
//    around them. A key line without "=" names a key that has no value.
//  - Blanks are space, tab, vertical tab, form feed and Ctrl+Z (0x1A).
//  - Section and key names are matched without regard to ASCII case. The first
//    section of a name is the one used, and in it the first key of a name.
//  - A value enclosed in a matching pair of double or single quotes is read
//    without them. A value ends at a NUL byte.
//  - Values are read whole, whatever their length.
//
// Updating:
//  - An existing key gets its new value where it stands: the line keeps its
//    indentation, name and spacing up to the value.
//  - A new key is put behind the last line of its section that is not blank,
//    so blank lines before the next section stay where they are.
//  - A new section is added at the end of the file.
//  - New lines end like the file's first line (CR LF in a new file); a last
//    line without a line break gets one before anything is added behind it.
//  - Setting a key to the value it already reads as changes nothing.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kx {

class IniFile {
public:
    IniFile() = default;
    // Takes the file's bytes as they are; never fails.
    static IniFile Parse(std::string_view bytes);

    // The value of `key` in `section` as GetPrivateProfileStringA reads it with
    // a large enough buffer; nullopt when the section or key is missing or the
    // key line has no "=".
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;

    // Stores `value` so that Get gives it back. A value that starts or ends with
    // a blank, or is enclosed in matching quotes, is written inside double
    // quotes. A value keeps one line: it is cut at its first CR, LF or NUL.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // Removes every line of `key` in the first `section` of that name; true
    // when there was one. Other lines stay as they are. An empty key name
    // removes nothing.
    bool Remove(std::string_view section, std::string_view key);

    // The whole file.
    std::string Serialize() const;

    // The form `value` takes in the file (quoted where reading would otherwise
    // change it).
    static std::string StoredForm(std::string_view value);

private:
    struct Line {
        std::string text;   // without its line break
        std::string end;    // "\r\n", "\n", "\r" or "" (only the file's last line)
        bool removed = false;  // left out of the file; dropped when its section is next compacted
    };
    // Every lookup goes through an index, so that a file of many keys reads
    // and writes in time linear in its size.
    struct Section {
        std::string name;                  // trimmed; empty for the lines before the first section
        std::optional<Line> header;        // absent for the lines before the first section
        std::vector<Line> body;            // up to its last line that is not blank
        std::vector<Line> tail;            // the blank lines behind it
        // Folded key name -> the body lines of that name, in file order
        // (removed lines are not in it).
        std::unordered_map<std::string, std::vector<std::size_t>> keys;
        std::size_t removedLines = 0;

        void IndexLine(std::size_t index);
        void Compact();
    };

    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;
    static std::optional<std::size_t> FindKey(const Section& section, std::string_view key);
    Line* LastLine();
    void TerminateLastLine();

    void IndexSection(std::size_t index);
    void CloseSection();

    std::string bom_;
    std::vector<Section> sections_{1};   // [0]: lines before the first section
    // Folded section name -> index of the first section of that name.
    std::unordered_map<std::string, std::size_t> sectionIndex_;
    std::string newLine_ = "\r\n";
};

} // namespace kx
