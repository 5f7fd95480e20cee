// One composition of a 40-character caption at 40 x 40, as every keystroke
// in the caption field runs it.
#include <benchmark/benchmark.h>

#include "composer/compose.h"
#include "raster/image.h"

namespace {

void BM_ComposeFortyCharacters(benchmark::State& state) {
  MakeImage(SheetImageNumber, 480, 480);
  const char* caption = "The quick brown fox jumps over a lazy dog";
  for (auto _ : state) benchmark::DoNotOptimize(ComposeButtonImage(40, 40, std::string_view(caption, 40)));
}

BENCHMARK(BM_ComposeFortyCharacters)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
