// Prints the settings fuzzer's dictionary: the file's syntax, the value forms'
// markers, and every section and key of the settings table.
#include "settings/settings_table.h"

#include <cstdio>
#include <set>
#include <string>

namespace {

void Entry(const std::string& token)
{
    std::string quoted = "\"";
    for (unsigned char c : token) {
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            quoted += hex;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    std::printf("%s\"\n", quoted.c_str());
}

} // namespace

int main()
{
    for (const char* token : {"\r\n", "\n", "\r", "[", "]", "=", "\"", "'", "\x1a", "$", "0x", "-", "clRed",
                              "clWindowText", "clNone", ",", "\xef\xbb\xbf"})
        Entry(token);
    std::set<std::string> printed;
    const auto once = [&printed](const std::string& token) {
        if (printed.insert(token).second)
            Entry(token);
    };
    for (const kx::SettingRow& row : kx::SettingsTable()) {
        once("[" + row.section + "]");
        once(row.key + (row.form == kx::StoredForm::PairList ? "0=" : "="));
    }
}
