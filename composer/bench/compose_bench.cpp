// One composition of a 40-character caption, as every keystroke in the
// caption field runs it: in fixed 40 x 40 cells, and set proportionally with
// the metrics of the same sheet.
#include <benchmark/benchmark.h>

#include <string>

#include "composer/compose.h"
#include "composer/text_setting.h"
#include "raster/bench/ratio_reporter.h"
#include "raster/image.h"

namespace {

constexpr const char* Caption = "The quick brown fox jumps over a lazy dog";  // 40 characters taken

// A 480 x 480 sheet (cells of 48) whose cells hold glyph-like ink: boxes 8 to
// 24 pixels wide and 22 to 28 tall, two-pixel stems every five pixels, so
// that the proportional copy meets ink and background as it would in a face.
void MakeInkedSheet() {
  MakeImage(SheetImageNumber, 480, 480);
  PixelStore& sheet = *ImagePixels(ImageHandle(SheetImageNumber));
  for (int code = 33; code < 127; ++code) {
    const int cx = (code - 32) % 10 * 48 + 4, cy = (code - 32) / 10 * 48 + 6;
    const int w = 8 + code * 7 % 17, h = 22 + code % 7;
    for (int y = cy; y < cy + h; ++y)
      for (int x = cx; x < cx + w; ++x)
        if ((x - cx) % 5 < 2) sheet.Pixel(x, y)[0] = sheet.Pixel(x, y)[1] = sheet.Pixel(x, y)[2] = 0xFF;
  }
}

void BM_ComposeFortyCharacters(benchmark::State& state) {
  MakeInkedSheet();
  for (auto _ : state) benchmark::DoNotOptimize(ComposeButtonImage(40, 40, std::string_view(Caption, 40)));
}

// The metrics are those measured from the sheet, with a kerning between each
// neighbouring pair, as a face's descriptor would have for most of them.
void BM_SetFortyCharacters(benchmark::State& state) {
  MakeInkedSheet();
  FontDescriptor metrics = MeasureSheetMetrics();
  const std::u32string text(Caption, Caption + 40);
  for (std::size_t i = 0; i + 1 < text.size(); ++i) metrics.kernings.push_back({text[i], text[i + 1], -1});
  for (auto _ : state) {
    const CaptionLayout layout = LayOutCaption(metrics, text, {});
    const int w = static_cast<int>(layout.width), h = static_cast<int>(layout.height);
    benchmark::DoNotOptimize(ComposeSetCaption(layout, w, h, 0, 0));
  }
}

BENCHMARK(BM_ComposeFortyCharacters)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SetFortyCharacters)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  reporter.PrintRatio("BM_SetFortyCharacters", "BM_ComposeFortyCharacters", "proportional / fixed caption:");
  ShutdownImages();
  return 0;
}
