#include "tests/support/VideoFileReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace ambro::test {

namespace {

// Decodes packets until the first picture comes, as RGB24.
bool decodeFirst(AVCodecContext* decoder, const AVPacket* packet, VideoFileContents& contents) {
    if (!contents.firstPicture.empty() || avcodec_send_packet(decoder, packet) < 0) return false;
    AVFrame* frame = av_frame_alloc();
    const bool got = avcodec_receive_frame(decoder, frame) == 0;
    if (got) {
        contents.firstPicture.resize(static_cast<std::size_t>(frame->width) * frame->height * 3);
        SwsContext* converter =
            sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                           frame->width, frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr,
                           nullptr, nullptr);
        std::uint8_t* planes[] = {contents.firstPicture.data()};
        const int strides[] = {frame->width * 3};
        sws_scale(converter, frame->data, frame->linesize, 0, frame->height, planes, strides);
        sws_freeContext(converter);
    }
    av_frame_free(&frame);
    return got;
}

}  // namespace

std::optional<VideoFileContents> readVideoFile(const std::string& path) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return std::nullopt;
    VideoFileContents contents;
    if (avformat_find_stream_info(format, nullptr) < 0 || format->nb_streams != 1) {
        avformat_close_input(&format);
        return std::nullopt;
    }
    const AVStream* stream = format->streams[0];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    contents.container = format->iformat->name;
    contents.codec = codec ? codec->name : "";
    contents.width = stream->codecpar->width;
    contents.height = stream->codecpar->height;
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, stream->codecpar);
    avcodec_open2(decoder, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        contents.timesMs.push_back(av_rescale_q(packet->pts, stream->time_base, {1, 1000}));
        decodeFirst(decoder, packet, contents);
        av_packet_unref(packet);
    }
    decodeFirst(decoder, nullptr, contents);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return contents;
}

}  // namespace ambro::test
