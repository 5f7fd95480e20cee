// Writing and reading a 4000 x 4000 sheet against the plain system calls that
// move the same bytes; prints each as a ratio to its baseline.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "raster/bench/ratio_reporter.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "core/tests/test_files.h"

namespace {

constexpr int Side = 4000;
TempFolder* folder = nullptr;

std::string Path(const char* name) { return (*folder) / name; }

void MakeSheet() {
  if (ImageExists(0)) return;
  MakeImage(0, Side, Side);
  PixelStore* s = ImagePixels(ImageHandle(0));
  for (std::size_t i = 0; i < s->bytes.size(); ++i) s->bytes[i] = static_cast<std::uint8_t>(i * 7);
}

void BM_PlainWrite(benchmark::State& state) {
  MakeSheet();
  const PixelStore* s = ImagePixels(ImageHandle(0));
  const std::string path = Path("plain.bmp");
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::uint8_t header[54] = {};
    bool ok = ::write(fd, header, sizeof header) == static_cast<ssize_t>(sizeof header);
    ok = ok && ::write(fd, s->bytes.data(), s->bytes.size()) == static_cast<ssize_t>(s->bytes.size());
    ::close(fd);
    if (!ok) state.SkipWithError("write failed");
  }
}

void BM_WriteImageBmp(benchmark::State& state) {
  MakeSheet();
  const std::string path = Path("sheet.bmp");
  for (auto _ : state) {
    if (!WriteImageBmp(0, path.c_str())) state.SkipWithError("WriteImageBmp failed");
  }
}

void BM_PlainReadAndCopy(benchmark::State& state) {
  MakeSheet();
  const std::string path = Path("sheet.bmp");
  WriteImageBmp(0, path.c_str());
  std::vector<std::uint8_t> file(54 + ImagePixels(ImageHandle(0))->bytes.size());
  std::vector<std::uint8_t> pixels(file.size() - 54);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    const bool ok = ::read(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size());
    ::close(fd);
    std::memcpy(pixels.data(), file.data() + 54, pixels.size());
    benchmark::DoNotOptimize(pixels.data());
    if (!ok) state.SkipWithError("read failed");
  }
}

void BM_ReadImageFile(benchmark::State& state) {
  MakeSheet();
  const std::string path = Path("sheet.bmp");
  WriteImageBmp(0, path.c_str());
  for (auto _ : state) {
    if (!ReadImageFile(1, path.c_str())) state.SkipWithError("ReadImageFile failed");
  }
}

BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteImageBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReadAndCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadImageFile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  TempFolder temp;
  folder = &temp;
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  reporter.PrintRatio("BM_WriteImageBmp", "BM_PlainWrite", "WriteImageBmp / plain write():");
  reporter.PrintRatio("BM_ReadImageFile", "BM_PlainReadAndCopy", "ReadImageFile / plain read() + memcpy:");
  ShutdownImages();
  return 0;
}
