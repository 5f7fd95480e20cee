// One-character PaintText calls in the transparent mode, as a character sheet
// makes them, from cached glyphs and with the whole text rasterised each time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/font_handles.h"
#include "raster/bench/ratio_reporter.h"
#include "raster/draw_surface.h"
#include "raster/image.h"

namespace {

constexpr int Calls = 9500;

// args: em pixels (11 is 8 points, 53 is 40 points at 96 dpi), cached or not.
void BM_PaintTextCalls(benchmark::State& state) {
  const int em = static_cast<int>(state.range(0));
  const bool cached = state.range(1) != 0;
  const FontHandleValue font = OpenFontHandle("Liberation Sans", em, FontFlags{});
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

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  reporter.PrintRatio("BM_PaintTextCalls/em:11/cached:0", "BM_PaintTextCalls/em:11/cached:1",
                      "em 11: rasterising every call / cached glyphs:");
  reporter.PrintRatio("BM_PaintTextCalls/em:53/cached:0", "BM_PaintTextCalls/em:53/cached:1",
                      "em 53: rasterising every call / cached glyphs:");
  ShutdownImages();
  CloseAllFontHandles();
  return 0;
}
