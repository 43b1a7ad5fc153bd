// A game's translation memory of 1,000,000 pairs (about 100 MB): reading it
// into the memory, against one pass over the same bytes (counting the line
// ends) in the same run; and what the pairs take beside the file's size.
#include "ratio_reporter.h"
#include "translate/memory_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kPairs = 1000000;

const std::string& MemoryText()
{
    static const std::string text = [] {
        std::string t;
        t.reserve(std::size_t{kPairs} * 110);
        for (int i = 0; i < kPairs; ++i) {
            const std::string n = std::to_string(i);
            // About 100 bytes a pair: Japanese in, Korean out, as a game gives them.
            t += "\xE3\x80\x8C" + n + "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF\xE3\x80\x81"
                 "\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF\xE3\x81\x84\xE3\x81\x84\xE5\xA4\xA9\xE6\xB0\x97\xE3\x80\x8D\t"
                 "\xE2\x80\x9C" + n + " \xEC\x95\x88\xEB\x85\x95, \xEC\x98\xA4\xEB\x8A\x98\xEC\x9D\x80 "
                 "\xEB\x82\xA0\xEC\x94\xA8\xEA\xB0\x80 \xEC\xA2\x8B\xEB\x84\xA4\xE2\x80\x9D\r\n";
        }
        return t;
    }();
    return text;
}

void BM_ReadBytes(benchmark::State& state)
{
    const std::string& text = MemoryText();
    for (auto _ : state) {
        std::size_t lines = std::count(text.begin(), text.end(), '\n');
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ReadMemory(benchmark::State& state)
{
    const std::string& text = MemoryText();
    for (auto _ : state) {
        kx::MemoryContents memory = kx::ReadMemory(text);
        benchmark::DoNotOptimize(memory);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The process's resident bytes (Linux).
std::size_t ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

BENCHMARK(BM_ReadBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    const std::size_t fileBytes = MemoryText().size();
    const std::size_t before = ResidentBytes();
    {
        const kx::MemoryContents memory = kx::ReadMemory(MemoryText());
        const std::size_t held = ResidentBytes() - before;
        std::printf("memory file: %zu pairs, %zu bytes; held in memory: %zu bytes, %.2f per byte of the file\n",
                    memory.pairs.Size(), fileBytes, held, static_cast<double>(held) / static_cast<double>(fileBytes));
    }
    return kx::bench::RunWithRatios(argc, argv, "BM_ReadBytes");
}
