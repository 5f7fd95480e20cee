// Whole character sheet builds: the worst the window's controls allow and a
// 72-point one from the font dialog.
#include <benchmark/benchmark.h>

#include "raster/image.h"
#include "renderer/renderer_settings.h"
#include "renderer/sheet_build.h"
#include "core/fonts.h"

namespace {

void BM_WorstControlSheet(benchmark::State& state) {
  rendererSettings = RendererSettings{};
  rendererSettings.fontSize = 40;
  rendererSettings.shadowSize = 40;
  rendererSettings.shadowOffsetX = 20;
  rendererSettings.shadowOffsetY = 20;
  MakeImage(PreviewImage, PreviewSide, PreviewSide);
  int n = 0;
  for (auto _ : state) n = BuildCharacterSheet(true, 10, "A");  // 95 x 101 PaintText calls
  state.counters["N"] = n;
}

void BM_SeventyTwoPointSheet(benchmark::State& state) {
  rendererSettings = RendererSettings{};
  rendererSettings.fontSize = 72;
  MakeImage(PreviewImage, PreviewSide, PreviewSide);
  int n = 0;
  for (auto _ : state) n = BuildCharacterSheet(false, 1, "A");
  state.counters["N"] = n;
}

BENCHMARK(BM_WorstControlSheet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeventyTwoPointSheet)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
