// Megapixels per second of SnapshotEncoder::encodePicture at quality 100,
// beside libjpeg-turbo's tjCompress2 at quality 100 with 4:2:0 on the same
// decoded pictures.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <string>
#include <vector>

#include "media/SnapshotEncoder.h"
#include "tests/support/DecoderHarness.h"

namespace {

using ambro::test::Bytes;
using namespace ambro::media;

// The first decoded picture of a benchmark stream (bottom-up BGR, rows of
// W x 3 bytes, which both sizes keep a multiple of 4).
const Bytes& naturalPicture(int width, int height) {
    static std::vector<std::pair<int, Bytes>> pictures;
    for (const auto& [w, picture] : pictures) {
        if (w == width) return picture;
    }
    const std::string name = "bench_" + std::to_string(width) + "x" + std::to_string(height) + ".m4v";
    pictures.emplace_back(width, ambro::test::decodeFirstPicture(name, width, height));
    return pictures.back().second;
}

void snapshotEncoder(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const Bytes& picture = naturalPicture(width, height);
    SnapshotEncoder encoder(100);
    Bytes output(SnapshotEncoder::worstCaseSize(width, height));
    std::size_t size = 0;
    for (auto _ : state) {
        encoder.encodePicture(picture.data(), SnapshotEncoder::tightStride(width), output.data(),
                              output.size(), width, height, size);
        benchmark::DoNotOptimize(size);
    }
    state.counters["megapixels_per_s"] = benchmark::Counter(
        static_cast<double>(width) * height * 1e-6 * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["bytes"] = static_cast<double>(size);
}

void turboJpeg(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const Bytes& picture = naturalPicture(width, height);
    tjhandle handle = tjInitCompress();
    unsigned long capacity = tjBufSize(width, height, TJSAMP_420);
    unsigned char* output = tjAlloc(static_cast<int>(capacity));
    unsigned long size = 0;
    for (auto _ : state) {
        size = capacity;
        // The picture is bottom-up, as the encoder above reads it.
        tjCompress2(handle, picture.data(), width, 0, height, TJPF_BGR, &output, &size,
                    TJSAMP_420, 100, TJFLAG_NOREALLOC | TJFLAG_BOTTOMUP);
        benchmark::DoNotOptimize(size);
    }
    state.counters["megapixels_per_s"] = benchmark::Counter(
        static_cast<double>(width) * height * 1e-6 * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["bytes"] = static_cast<double>(size);
    tjFree(output);
    tjDestroy(handle);
}

}  // namespace

BENCHMARK(turboJpeg)->Args({352, 288})->Args({704, 576})->Unit(benchmark::kMicrosecond);
BENCHMARK(snapshotEncoder)->Args({352, 288})->Args({704, 576})->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
