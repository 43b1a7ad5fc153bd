// Composing a 1920 x 200 subtitle strip with outline and shadow, against the
// same strip with neither (background and letters only).
#include "logview/strip_compositor.h"
#include "ratio_reporter.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 200;

// Two rows of glyph-like strokes with soft edges, like a line of text.
const kx::CoverageMask& TextMask()
{
    static const kx::CoverageMask mask = [] {
        kx::CoverageMask m{kWidth, kHeight, std::vector<std::uint8_t>(std::size_t(kWidth) * kHeight, 0)};
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const bool inRow = (y >= 30 && y < 90) || (y >= 110 && y < 170);
                const int phase = (x + (y / 7) * 3) % 13;
                if (inRow && x % 40 < 34)
                    m.coverage[std::size_t(y) * kWidth + x] = phase < 3 ? 255 : phase == 3 ? 128 : 0;
            }
        return m;
    }();
    return mask;
}

void Compose(benchmark::State& state, int outlineWidth, bool shadow)
{
    const kx::StripLook look{0xFFFFFF, 0x000000, 0x202020, 1, outlineWidth, shadow};
    for (auto _ : state) {
        auto pixels = kx::ComposeStrip(TextMask(), look);
        benchmark::DoNotOptimize(pixels.data());
    }
}

void BM_ComposePlain(benchmark::State& state) { Compose(state, 0, false); }
void BM_ComposeOutline2Shadow(benchmark::State& state) { Compose(state, 2, true); }
void BM_ComposeOutline8Shadow(benchmark::State& state) { Compose(state, 8, true); }
void BM_ComposeOutline16Shadow(benchmark::State& state) { Compose(state, 16, true); }

BENCHMARK(BM_ComposePlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeOutline2Shadow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeOutline8Shadow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeOutline16Shadow)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return kx::bench::RunWithRatios(argc, argv, "BM_ComposePlain"); }
