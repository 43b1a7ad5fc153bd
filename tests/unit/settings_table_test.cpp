#include "settings/settings_file.h"
#include "settings/settings_table.h"
#include "settings_random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace kx;
using namespace kx::testing;

namespace {

// A value of the row's form as the program itself writes it.
std::string RandomStoredValue(const SettingRow& row, std::mt19937& random)
{
    switch (row.form) {
    case StoredForm::Integer: {
        const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(row.highest) - row.lowest) + 1;
        return IntegerText(static_cast<std::int32_t>(row.lowest + static_cast<std::int64_t>(random() % span)));
    }
    case StoredForm::Boolean: return BooleanText(random() % 2);
    case StoredForm::Colour: return ColorText(static_cast<Color>(random()));
    case StoredForm::Font: {
        std::string face = RandomLine(random, 1 + random() % 31);
        for (char& c : face)
            if (c == ',')
                c = '_';  // a face name holds no comma
        return FontText({face, static_cast<Color>(random()), static_cast<std::int32_t>(1 + random() % kMaxFontPoints),
                         static_cast<FontPitch>(random() % 3), random() % 2 == 0, random() % 2 == 0,
                         random() % 2 == 0, random() % 2 == 0});
    }
    case StoredForm::HexText: return EncodeHexText(RandomUtf16(random, random() % 300));
    case StoredForm::Choice: return std::string(row.choices[random() % row.choices.size()]);
    case StoredForm::Text:
    case StoredForm::Secret:
    case StoredForm::PairList: break;
    }
    return RandomLine(random, random() % 40);
}

std::string PairValue(std::mt19937& random)
{
    return EncodeHexText(RandomUtf16(random, 1 + random() % 30)) + "," + EncodeHexText(RandomUtf16(random, random() % 30));
}

// Every row, each with a random value in every round: what is read is
// written back exactly, so no row can be left out of the reading or the
// writing.
TEST(SettingsTableTest, EveryRowWritesBackTheValueItRead)
{
    std::mt19937 random(20261210);
    for (int round = 0; round < 20; ++round) {
        IniFile file;
        for (const SettingRow& row : SettingsTable()) {
            if (row.form != StoredForm::PairList) {
                file.Set(row.section, row.key, RandomStoredValue(row, random));
                continue;
            }
            for (int i = 0, count = static_cast<int>(random() % 4); i < count; ++i)
                file.Set(row.section, row.key + std::to_string(i), PairValue(random));
        }
        AppSettings settings;
        const MainWindowState window = ReadSettings(file, settings, 0);
        IniFile written;
        WriteSettings(written, settings, window);
        for (const SettingRow& row : SettingsTable())
            for (int i = 0; i < (row.form == StoredForm::PairList ? 5 : 1); ++i) {
                const std::string key = row.form == StoredForm::PairList ? row.key + std::to_string(i) : row.key;
                EXPECT_EQ(written.Get(row.section, key), file.Get(row.section, key)) << row.section << "/" << key;
            }
    }
}

TEST(SettingsTableTest, KeysAreUniqueAndAProfileHoldsNoWindowFontHotkeyOrSecret)
{
    std::set<std::pair<std::string, std::string>> keys;
    for (const SettingRow& row : SettingsTable()) {
        EXPECT_TRUE(keys.insert({row.section, row.key}).second) << row.section << "/" << row.key;
        if (row.perGame) {
            EXPECT_NE(row.form, StoredForm::Secret);
            EXPECT_TRUE(row.section == "Setting" || row.section == "Filters" || row.section == "Substitutions" ||
                        row.section == "Glossary" || row.section == "Engine" || row.section == "Capture" ||
                        row.section == "DeepL" || row.section == "Papago")
                << row.section << "/" << row.key;
        }
    }
}

// Adding a setting is adding its row: the file gains its line and nothing else.
TEST(SettingsTableTest, ARowAddedGivesItsLineInItsSectionAndChangesNothingElse)
{
    std::vector<SettingRow> table = SettingsTable();
    const auto uot = std::find_if(table.begin(), table.end(), [](const SettingRow& r) { return r.key == "uot"; });
    ASSERT_NE(uot, table.end());
    SettingRow added = *uot;
    added.key = "NewSwitch";
    const std::function<std::string(std::string_view)> plain;
    added.write = [](ValueWriter& out, ConstSettingsRecord r) { out.Set("Setting", "NewSwitch", IntegerText(r.app.uot)); };
    table.insert(uot + 1, added);

    const AppSettings settings;
    const MainWindowState window;
    IniFile today, extended;
    WriteSettings(today, settings, window);
    ValueWriter out{extended, plain};
    for (const SettingRow& row : table)
        row.write(out, {settings, window});
    std::string expected = today.Serialize();
    expected.insert(expected.find("Codepage="), "NewSwitch=0\r\n");
    EXPECT_EQ(extended.Serialize(), expected);
}

} // namespace
