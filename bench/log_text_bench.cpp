// Appending a short line to the log's text (before its closing CR LF, as the
// append rules do) when the text holds 10 MB of UTF-16, against 10 KB.
#include "logview/log_text.h"
#include "ratio_reporter.h"

#include <string>

namespace {

constexpr std::u16string_view kLine = u"\r\n\x3053\x308C\x306F a translated line of the game, 40 units";

// A log grown by appends to `bytes` of UTF-16, as the program grows it.
kx::LogText GrownLog(std::size_t bytes)
{
    kx::LogText log;
    log.Insert(0, u"first line\r\n");
    while (log.Length() * 2 < bytes)
        log.Insert(log.Length() - 2, kLine);
    return log;
}

void AppendLines(benchmark::State& state, std::size_t bytes)
{
    kx::LogText log = GrownLog(bytes);
    for (auto _ : state) {
        log.Insert(log.Length() - 2, kLine);
        benchmark::DoNotOptimize(log.LineCount());
    }
}

void BM_AppendTo10KB(benchmark::State& state) { AppendLines(state, 10 * 1000); }
void BM_AppendTo10MB(benchmark::State& state) { AppendLines(state, 10 * 1000 * 1000); }

// A fixed count keeps the text growing by at most 16 MB in either case.
BENCHMARK(BM_AppendTo10KB)->Iterations(200000);
BENCHMARK(BM_AppendTo10MB)->Iterations(200000);

} // namespace

int main(int argc, char** argv) { return kx::bench::RunWithRatios(argc, argv, "BM_AppendTo10KB/iterations:200000"); }
