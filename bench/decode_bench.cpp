// Pictures per second of FrameDecoder::decompress (converting from the
// library's own planes, and from their copy) beside FFmpeg's own MPEG-4
// decoder on one thread with swscale's conversion to BGR24, and heap
// allocations per picture once the decoder is warm. For scale: libxvidcore
// with its own BGR conversion, libxvidcore with no output at all (the floor
// of any decoder built on it) and FFmpeg's decoder without conversion.
//
// Every variant decodes the clip twice before it is timed. The timed
// pictures go through the out-of-line functions timed*, and only they, so
// that bench/compare.py can count the instructions of exactly those calls.
#include <benchmark/benchmark.h>
#include <xvid.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <string>
#include <vector>

#include "media/FrameDecoder.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"

namespace {

using ambro::test::Bytes;
using namespace ambro::media;

constexpr int kWarmUpPasses = 2;

struct Clip {
    int width;
    int height;
    std::vector<Bytes> pictures;  // bare elementary-stream pictures
    std::vector<Bytes> payloads;  // the same, wrapped as a server sends them
};

const Clip& clip(int width, int height) {
    static std::vector<Clip> clips;
    for (const Clip& existing : clips) {
        if (existing.width == width && existing.height == height) return existing;
    }
    Clip made{width, height, {}, {}};
    const std::string name =
        "mpeg4/bench_" + std::to_string(width) + "x" + std::to_string(height) + ".m4v";
    const Bytes rects = ambro::test::PayloadBuilder::rectangleList({{20, 20, 80, 60}});
    for (const auto& picture :
         ambro::test::splitIntoPictures(ambro::test::readFile(ambro::test::fixturePath(name)))) {
        made.pictures.push_back(picture.bytes);
        made.payloads.push_back(
            ambro::test::PayloadBuilder(ambro::test::PayloadMarker::ChecksumF, picture.bytes)
                .scrambledMaskBlock(rects)
                .padding()
                .build());
    }
    clips.push_back(std::move(made));
    return clips.back();
}

const Clip& clipOf(const benchmark::State& state) {
    return clip(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
}

// Decodes the clip's pictures with `decodeOne(index, timed)`: the warm-up
// passes, then the timed ones.
template <typename DecodeOne>
void runClip(benchmark::State& state, std::size_t count, DecodeOne decodeOne) {
    for (int pass = 0; pass < kWarmUpPasses; ++pass) {
        for (std::size_t i = 0; i < count; ++i) decodeOne(i, false);
    }
    std::size_t pictures = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < count; ++i) decodeOne(i, true);
        pictures += count;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(pictures));
}

// Only the time counts here; the tests check what is decoded.
[[gnu::noinline]] void timedFrameDecoder(FrameDecoder& decoder, DecompressRequest& request) {
    (void)decoder.decompress(&request, sizeof request);
}

void decodeWith(benchmark::State& state, FrameDecoder::PlaneSource source) {
    const Clip& c = clipOf(state);
    PictureFormat input;
    input.width = c.width;
    input.height = c.height;
    input.compression = kW264;
    PictureFormat output = input;
    FrameDecoder decoder;
    decoder.setPlaneSource(source);
    if (decoder.decompressBegin(&input, &output) != ambro::media::kDecoderDone) {
        state.SkipWithError("the decoder refused the clip's size");
        return;
    }
    Bytes buffer(FrameDecoder::kMaxPayload + FrameDecoder::kInputPadding);
    Bytes picture(static_cast<std::size_t>(c.width) * c.height * 3);
    DecompressRequest request;
    request.inputFormat = &input;
    request.inputData = buffer.data();
    request.outputFormat = &output;
    request.outputPicture = picture.data();

    // The session's copy into its input buffer comes first, as it does there.
    const auto decodeOne = [&](std::size_t index, bool timed) {
        const Bytes& payload = c.payloads[index];
        std::copy(payload.begin(), payload.end(), buffer.begin());
        input.imageSize = static_cast<std::uint32_t>(payload.size());
        if (timed) {
            timedFrameDecoder(decoder, request);
        } else {
            (void)decoder.decompress(&request, sizeof request);
        }
    };
    // A warm pass counted alone, so that nothing of the benchmark framework
    // is in the figure.
    for (std::size_t i = 0; i < c.payloads.size(); ++i) decodeOne(i, false);
    const std::size_t allocationsBefore = ambro::test::allocationCount();
    for (std::size_t i = 0; i < c.payloads.size(); ++i) decodeOne(i, false);
    const std::size_t passAllocations = ambro::test::allocationCount() - allocationsBefore;

    runClip(state, c.payloads.size(), decodeOne);
    state.counters["allocs_per_picture"] =
        static_cast<double>(passAllocations) / static_cast<double>(c.payloads.size());
}

void frameDecoder(benchmark::State& state) {
    decodeWith(state, FrameDecoder::PlaneSource::Library);
}

void frameDecoderCopiedPlanes(benchmark::State& state) {
    decodeWith(state, FrameDecoder::PlaneSource::Copy);
}

// One picture with libxvidcore on its own, called as FrameDecoder's decode
// loop calls it.
void decodeWithLibrary(void* handle, std::uint8_t* stream, std::size_t size, int csp,
                       std::uint8_t* picture, int width) {
    std::size_t position = 0;
    while (position + 12 <= size) {
        xvid_dec_frame_t frame{};
        frame.version = XVID_VERSION;
        frame.bitstream = stream + position;
        frame.length = static_cast<int>(size - position);
        frame.output.csp = csp;
        frame.output.plane[0] = picture;
        frame.output.stride[0] = width * 3;
        xvid_dec_stats_t stats{};
        stats.version = XVID_VERSION;
        const int used = xvid_decore(handle, XVID_DEC_DECODE, &frame, &stats);
        if (used <= 0 || stats.type > 0) break;
        position += static_cast<std::size_t>(used);
    }
}

[[gnu::noinline]] void timedLibrary(void* handle, std::uint8_t* stream, std::size_t size, int csp,
                                    std::uint8_t* picture, int width) {
    decodeWithLibrary(handle, stream, size, csp, picture, width);
}

// libxvidcore on its own, with output colour space `csp` (BGR, or none).
void libraryWith(benchmark::State& state, int csp) {
    const Clip& c = clipOf(state);
    xvid_gbl_init_t init{};
    init.version = XVID_VERSION;
    xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);
    xvid_dec_create_t create{};
    create.version = XVID_VERSION;
    xvid_decore(nullptr, XVID_DEC_CREATE, &create, nullptr);
    Bytes buffer(FrameDecoder::kMaxPayload + FrameDecoder::kInputPadding);
    Bytes picture(static_cast<std::size_t>(c.width) * c.height * 3);

    runClip(state, c.pictures.size(), [&](std::size_t index, bool timed) {
        // The same copy into an input buffer that a session makes.
        const Bytes& stream = c.pictures[index];
        std::copy(stream.begin(), stream.end(), buffer.begin());
        const auto decode = timed ? timedLibrary : decodeWithLibrary;
        decode(create.handle, buffer.data(), stream.size(), csp, picture.data(), c.width);
    });
    xvid_decore(create.handle, XVID_DEC_DESTROY, nullptr, nullptr);
}

void plainLibrary(benchmark::State& state) {
    libraryWith(state, XVID_CSP_BGR);
}

void libraryWithoutOutput(benchmark::State& state) {
    libraryWith(state, XVID_CSP_NULL);
}

// One picture with FFmpeg's decoder, converted by swscale when `scaler` is
// given.
void decodeWithFfmpeg(AVCodecContext* context, AVPacket* packet, AVFrame* frame, SwsContext* scaler,
                      std::uint8_t* picture, int width, int height) {
    avcodec_send_packet(context, packet);
    while (avcodec_receive_frame(context, frame) == 0) {
        if (scaler == nullptr) continue;
        std::uint8_t* planes[1] = {picture};
        const int strides[1] = {width * 3};
        sws_scale(scaler, frame->data, frame->linesize, 0, height, planes, strides);
    }
}

[[gnu::noinline]] void timedFfmpeg(AVCodecContext* context, AVPacket* packet, AVFrame* frame,
                                   SwsContext* scaler, std::uint8_t* picture, int width,
                                   int height) {
    decodeWithFfmpeg(context, packet, frame, scaler, picture, width, height);
}

// FFmpeg's decoder, with swscale's conversion to BGR24 or without.
void ffmpegWith(benchmark::State& state, bool convert) {
    const Clip& c = clipOf(state);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
    AVCodecContext* context = avcodec_alloc_context3(codec);
    context->thread_count = 1;
    context->width = c.width;
    context->height = c.height;
    avcodec_open2(context, codec, nullptr);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    SwsContext* scaler = sws_getContext(c.width, c.height, AV_PIX_FMT_YUV420P, c.width, c.height,
                                        AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    Bytes picture(static_cast<std::size_t>(c.width) * c.height * 3);
    std::vector<Bytes> padded;
    for (const Bytes& stream : c.pictures) {
        padded.push_back(stream);
        padded.back().resize(stream.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    }

    runClip(state, padded.size(), [&](std::size_t index, bool timed) {
        packet->data = padded[index].data();
        packet->size = static_cast<int>(c.pictures[index].size());
        const auto decode = timed ? timedFfmpeg : decodeWithFfmpeg;
        decode(context, packet, frame, convert ? scaler : nullptr, picture.data(), c.width,
               c.height);
    });
    sws_freeContext(scaler);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
}

void ffmpegDecoder(benchmark::State& state) {
    ffmpegWith(state, true);
}

void ffmpegWithoutConversion(benchmark::State& state) {
    ffmpegWith(state, false);
}

}  // namespace

#define AMBRO_DECODE_BENCHMARK(function) \
    BENCHMARK(function)->Args({352, 288})->Args({704, 576})->Unit(benchmark::kMicrosecond)

AMBRO_DECODE_BENCHMARK(ffmpegDecoder);
AMBRO_DECODE_BENCHMARK(frameDecoder);
AMBRO_DECODE_BENCHMARK(frameDecoderCopiedPlanes);
AMBRO_DECODE_BENCHMARK(plainLibrary);
AMBRO_DECODE_BENCHMARK(libraryWithoutOutput);
AMBRO_DECODE_BENCHMARK(ffmpegWithoutConversion);

BENCHMARK_MAIN();
