// One-character PaintText calls in the transparent mode, as a character sheet
// makes them, from cached glyphs and with the whole text rasterised each time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "platform/font_handles.h"
#include "raster/draw_surface.h"
#include "raster/image.h"

namespace {

constexpr int Calls = 9500;

// args: em pixels (11 is 8 points, 53 is 40 points at 96 dpi), cached or not.
void BM_PaintTextCalls(benchmark::State& state) {
  const int em = static_cast<int>(state.range(0));
  const bool cached = state.range(1) != 0;
  const FontHandleValue font = OpenFontHandle("Liberation Sans", em, 0);
  MakeImage(0, 10 * (em + 8), 10 * (em + 8));
  SetGlyphCacheEnabled(cached);
  for (auto _ : state) {
    BeginDraw(ImageSurface(0));
    SetDrawMode(DrawModeTransparent);
    SetDrawFont(font);
    for (int i = 0; i < Calls; ++i) {
      const char code = static_cast<char>(32 + i % 95);
      const int cell = (i % 95);
      PaintText((cell % 10) * (em + 8) + 4 + i % 7, (cell / 10) * (em + 8) + i % 5, std::string_view(&code, 1),
                0x00FFFFFF);
    }
    EndDraw();
  }
  SetGlyphCacheEnabled(true);
  CloseFontHandle(font);
  state.counters["calls"] = Calls;
}

BENCHMARK(BM_PaintTextCalls)
    ->ArgNames({"em", "cached"})
    ->Args({11, 1})
    ->Args({11, 0})
    ->Args({53, 1})
    ->Args({53, 0})
    ->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  for (const char* em : {"11", "53"}) {
    const std::string cached = std::string("BM_PaintTextCalls/em:") + em + "/cached:1";
    const std::string plain = std::string("BM_PaintTextCalls/em:") + em + "/cached:0";
    if (reporter.times.count(cached) && reporter.times.count(plain) && reporter.times[cached] > 0) {
      std::printf("em %s: cached path %.1fx faster than rasterising every call\n", em,
                  reporter.times[plain] / reporter.times[cached]);
    }
  }
  ShutdownImages();
  CloseAllFontHandles();
  return 0;
}
