// The settings file's read and write with many substitution keys: a file of
// 100,000 keys against one of 1,000, measured in the same run. Time linear in
// the number of keys makes the larger file about 100 times the smaller.
#include "ratio_reporter.h"
#include "settings/settings_file.h"

#include <string>

namespace {

// A settings file as the program writes it, with `count` substitutions
// before translation.
std::string FileWithSubstitutions(int count)
{
    kx::AppSettings settings;
    for (int i = 0; i < count; ++i)
        settings.Filters.before.push_back({u"\u540D" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)),
                                           u"\uC774\uB984"});
    kx::IniFile file;
    kx::WriteSettings(file, settings, kx::MainWindowState{});
    return file.Serialize();
}

// What one run of the program does with the file: read at start, every key
// written back at exit.
void BM_ReadAndWrite(benchmark::State& state)
{
    const std::string bytes = FileWithSubstitutions(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        kx::IniFile file = kx::IniFile::Parse(bytes);
        kx::AppSettings settings;
        const kx::MainWindowState window = kx::ReadSettings(file, settings, 0);
        kx::WriteSettings(file, settings, window);
        std::string written = file.Serialize();
        benchmark::DoNotOptimize(written);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_ReadAndWrite)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return kx::bench::RunWithRatios(argc, argv, "BM_ReadAndWrite/1000");
}
