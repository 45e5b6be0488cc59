// Pictures per second of FrameDecoder::decompress beside plain libxvidcore
// decoding of the same elementary stream (BGR output) and beside FFmpeg's
// own MPEG-4 decoder on one thread with swscale's conversion to BGR24, and
// heap allocations per picture once the decoder is warm.
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

void frameDecoder(benchmark::State& state) {
    const Clip& c = clip(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    PictureFormat input;
    input.width = c.width;
    input.height = c.height;
    input.compression = kW264;
    PictureFormat output = input;
    FrameDecoder decoder;
    decoder.decompressBegin(&input, &output);
    Bytes buffer(FrameDecoder::kMaxPayload + FrameDecoder::kInputPadding);
    Bytes picture(static_cast<std::size_t>(c.width) * c.height * 3);
    DecompressRequest request;
    request.inputFormat = &input;
    request.inputData = buffer.data();
    request.outputFormat = &output;
    request.outputPicture = picture.data();

    const auto decodeOne = [&](const Bytes& payload) {
        std::copy(payload.begin(), payload.end(), buffer.begin());
        input.imageSize = static_cast<std::uint32_t>(payload.size());
        decoder.decompress(&request, sizeof request);
    };
    for (const Bytes& payload : c.payloads) decodeOne(payload);  // warm up

    // One whole pass after the warm-up, counted alone so that nothing of the
    // benchmark framework is in the figure.
    const std::size_t allocationsBefore = ambro::test::allocationCount();
    for (const Bytes& payload : c.payloads) decodeOne(payload);
    const std::size_t passAllocations = ambro::test::allocationCount() - allocationsBefore;

    std::size_t pictures = 0;
    for (auto _ : state) {
        for (const Bytes& payload : c.payloads) decodeOne(payload);
        pictures += c.payloads.size();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(pictures));
    state.counters["allocs_per_picture"] =
        static_cast<double>(passAllocations) / static_cast<double>(c.payloads.size());
}

void plainLibrary(benchmark::State& state) {
    const Clip& c = clip(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    xvid_gbl_init_t init{};
    init.version = XVID_VERSION;
    xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);
    xvid_dec_create_t create{};
    create.version = XVID_VERSION;
    xvid_decore(nullptr, XVID_DEC_CREATE, &create, nullptr);
    Bytes buffer(FrameDecoder::kMaxPayload + FrameDecoder::kInputPadding);
    Bytes picture(static_cast<std::size_t>(c.width) * c.height * 3);

    const auto decodeOne = [&](const Bytes& stream) {
        // The same copy into an input buffer that a session makes.
        std::copy(stream.begin(), stream.end(), buffer.begin());
        std::size_t position = 0;
        while (position + 12 <= stream.size()) {
            xvid_dec_frame_t frame{};
            frame.version = XVID_VERSION;
            frame.bitstream = buffer.data() + position;
            frame.length = static_cast<int>(stream.size() - position);
            frame.output.csp = XVID_CSP_BGR;
            frame.output.plane[0] = picture.data();
            frame.output.stride[0] = c.width * 3;
            xvid_dec_stats_t stats{};
            stats.version = XVID_VERSION;
            const int used = xvid_decore(create.handle, XVID_DEC_DECODE, &frame, &stats);
            if (used <= 0 || stats.type > 0) break;
            position += static_cast<std::size_t>(used);
        }
    };
    for (const Bytes& stream : c.pictures) decodeOne(stream);

    std::size_t pictures = 0;
    for (auto _ : state) {
        for (const Bytes& stream : c.pictures) decodeOne(stream);
        pictures += c.pictures.size();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(pictures));
    xvid_decore(create.handle, XVID_DEC_DESTROY, nullptr, nullptr);
}

void ffmpegDecoder(benchmark::State& state) {
    const Clip& c = clip(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
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

    const auto decodeOne = [&](std::size_t index) {
        packet->data = padded[index].data();
        packet->size = static_cast<int>(c.pictures[index].size());
        avcodec_send_packet(context, packet);
        while (avcodec_receive_frame(context, frame) == 0) {
            std::uint8_t* planes[1] = {picture.data()};
            const int strides[1] = {c.width * 3};
            sws_scale(scaler, frame->data, frame->linesize, 0, c.height, planes, strides);
        }
    };
    for (std::size_t i = 0; i < padded.size(); ++i) decodeOne(i);

    std::size_t pictures = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < padded.size(); ++i) decodeOne(i);
        pictures += padded.size();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(pictures));
    sws_freeContext(scaler);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
}

}  // namespace

BENCHMARK(ffmpegDecoder)->Args({352, 288})->Args({704, 576})->Unit(benchmark::kMicrosecond);
BENCHMARK(plainLibrary)->Args({352, 288})->Args({704, 576})->Unit(benchmark::kMicrosecond);
BENCHMARK(frameDecoder)->Args({352, 288})->Args({704, 576})->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
