#pragma once
// Every value KestruneEX.ini keeps, declared once: its section and key, how
// its value is written, its default and range, and where it lives in the
// settings. The file is read and written from this table alone, in the
// table's order, which is the order a new file gets its keys in.
#include "settings/app_settings.h"
#include "settings/ini_file.h"
#include "settings/window_state.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// How a value is written in the file.
enum class StoredForm {
    Integer,   // decimal; read also as "$FF", "0x1F" (ParseInteger)
    Boolean,   // 1 or 0; any non-zero number reads as true
    Colour,    // a colour name or "$" and eight digits (ColorText)
    Font,      // "Face,Colour,Size,Pitch,Styles" (FontText)
    HexText,   // four hex digits per UTF-16 unit
    Text,      // the 8-bit text as it stands
    Choice,    // one of the row's names
    PairList,  // <key>0, <key>1, ...: hex text, a comma, hex text; ends at the first missing key
    Secret,    // hex of the protected bytes, as the platform protected them
};

// Where the values of one read or write live.
template <class App, class Window>
struct SettingsPlace {
    App& app;
    Window& window;
};
using SettingsRecord = SettingsPlace<AppSettings, MainWindowState>;
using ConstSettingsRecord = SettingsPlace<const AppSettings, const MainWindowState>;

// Puts values into a file; `form`, when given, turns each value (ANSI text)
// into the form the file holds its text in.
struct ValueWriter {
    IniFile& ini;
    const std::function<std::string(std::string_view ansi)>& form;

    void Set(std::string_view section, std::string_view key, std::string_view value)
    {
        ini.Set(section, key, form ? form(value) : std::string(value));
    }
    bool Remove(std::string_view section, std::string_view key) { return ini.Remove(section, key); }
};

struct SettingRow {
    std::string section;
    std::string key;  // of a pair list: the letter before each number
    StoredForm form = StoredForm::Text;
    std::int32_t lowest = std::numeric_limits<std::int32_t>::min();  // of an Integer
    std::int32_t highest = std::numeric_limits<std::int32_t>::max();
    std::vector<std::string_view> choices;  // of a Choice, in the order of the values they stand for
    bool perGame = false;                   // a game profile may hold it

    // Reads the value onto the record where the file holds the key; false
    // when it holds it but the value does not read (out of range included):
    // the record then keeps what it had. A pair list is always assigned, and
    // false when one of its pairs does not read (the others are kept).
    std::function<bool(const IniFile&, SettingsRecord)> read;
    std::function<void(ValueWriter&, ConstSettingsRecord)> write;
};

// The table, in file order.
const std::vector<SettingRow>& SettingsTable();

} // namespace kx
