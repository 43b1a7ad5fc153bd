// Throughput of the clipboard decoders on a 10 MB text, against memcpy of the
// same bytes.
#include "capture/text_decoding.h"
#include "ratio_reporter.h"

#include <cstring>
#include <string>

namespace {

constexpr std::size_t kTextBytes = 10 * 1000 * 1000;

const std::string& HexText()
{
    static const std::string text = [] {
        std::string t;
        t.reserve(kTextBytes + 16);
        const char* groups[] = {"82A0 ", "82A2 ", "8341 ", "9E9F "};
        std::size_t i = 0;
        while (t.size() + 5 <= kTextBytes) {
            t += groups[i++ % 4];
            if (i % 40 == 0 && t.size() + 7 <= kTextBytes)
                t += "\r\n";
        }
        return t;
    }();
    return text;
}

const std::string& PlainText()
{
    static const std::string text = [] {
        std::string t;
        t.reserve(kTextBytes + 64);
        while (t.size() < kTextBytes)
            t += "\x82\xA0\x82\xA2 some game text, line after line.\r\n";
        t.resize(kTextBytes);
        return t;
    }();
    return text;
}

void BM_Memcpy(benchmark::State& state)
{
    const std::string& source = HexText();
    std::string target(source.size(), '\0');
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

void BM_DecodeSeqHex(benchmark::State& state)
{
    const std::string& source = HexText();
    for (auto _ : state) {
        auto bytes = kx::DecodeSeqHex(source);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

void BM_DecodeAscii(benchmark::State& state)
{
    const std::string& source = PlainText();
    for (auto _ : state) {
        auto bytes = kx::DecodeAscii(source);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSeqHex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAscii)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return kx::bench::RunWithRatios(argc, argv, "BM_Memcpy");
}
