#include "tools/cli/VideoFileWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace ambro::cli {

namespace {

// MPEG-4 Part 2 at quantiser 2: close to the decoded pictures.
constexpr int kHighQualityQuantiser = 2;
constexpr AVRational kMillisecond{1, 1000};

std::string describe(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

bool VideoFileWriter::knowsContainer(const std::filesystem::path& file) {
    const std::string name = file.string();
    return av_guess_format(nullptr, name.c_str(), nullptr) != nullptr;
}

bool VideoFileWriter::knowsEncoder(const std::string& codec) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(codec.c_str());
    return encoder && encoder->type == AVMEDIA_TYPE_VIDEO;
}

struct VideoFileWriter::Parts {
    std::filesystem::path file;
    std::filesystem::path partial;
    AVFormatContext* format = nullptr;
    AVCodecContext* encoder = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* converter = nullptr;
    bool fileOpen = false;

    ~Parts() {
        sws_freeContext(converter);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&encoder);
        if (format && fileOpen) avio_closep(&format->pb);
        avformat_free_context(format);
    }
};

std::unique_ptr<VideoFileWriter> VideoFileWriter::open(const Settings& settings,
                                                       std::string& error) {
    // The libraries' own chatter (encoder statistics) is not the command's
    // output; their errors still show.
    av_log_set_level(AV_LOG_ERROR);
    auto parts = std::make_unique<Parts>();
    parts->file = settings.file;
    parts->partial = settings.file;
    parts->partial += ".part";
    const std::string name = settings.file.string();
    if (avformat_alloc_output_context2(&parts->format, nullptr, nullptr, name.c_str()) < 0 ||
        !parts->format) {
        error = "no container is known for the name " + name;
        return nullptr;
    }
    const AVCodec* codec = avcodec_find_encoder_by_name(settings.codec.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO) {
        error = "the installed FFmpeg has no video encoder named " + settings.codec;
        return nullptr;
    }
    parts->encoder = avcodec_alloc_context3(codec);
    AVCodecContext& encoder = *parts->encoder;
    encoder.width = settings.width;
    encoder.height = settings.height;
    encoder.time_base = kMillisecond;
    encoder.pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    if (settings.codec == "mpeg4") {
        encoder.flags |= AV_CODEC_FLAG_QSCALE;
        encoder.global_quality = FF_QP2LAMBDA * kHighQualityQuantiser;
    }
    if (parts->format->oformat->flags & AVFMT_GLOBALHEADER) {
        encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (const int result = avcodec_open2(parts->encoder, codec, nullptr); result < 0) {
        error = "the encoder " + settings.codec + " cannot encode " +
                std::to_string(settings.width) + " x " + std::to_string(settings.height) + ": " +
                describe(result);
        return nullptr;
    }
    parts->stream = avformat_new_stream(parts->format, nullptr);
    parts->stream->time_base = kMillisecond;
    avcodec_parameters_from_context(parts->stream->codecpar, parts->encoder);

    const std::string partial = parts->partial.string();
    if (const int result = avio_open(&parts->format->pb, partial.c_str(), AVIO_FLAG_WRITE);
        result < 0) {
        error = "cannot write " + name + ": " + describe(result);
        return nullptr;
    }
    parts->fileOpen = true;
    if (const int result = avformat_write_header(parts->format, nullptr); result < 0) {
        error = "cannot write " + name + ": " + describe(result);
        std::error_code ignored;
        std::filesystem::remove(parts->partial, ignored);
        return nullptr;
    }
    parts->frame = av_frame_alloc();
    parts->frame->format = encoder.pix_fmt;
    parts->frame->width = encoder.width;
    parts->frame->height = encoder.height;
    parts->packet = av_packet_alloc();
    parts->converter =
        sws_getContext(encoder.width, encoder.height, AV_PIX_FMT_BGR24, encoder.width,
                       encoder.height, encoder.pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (av_frame_get_buffer(parts->frame, 0) < 0 || !parts->packet || !parts->converter) {
        error = "no memory for pictures of " + std::to_string(encoder.width) + " x " +
                std::to_string(encoder.height);
        std::error_code ignored;
        std::filesystem::remove(parts->partial, ignored);
        return nullptr;
    }
    return std::unique_ptr<VideoFileWriter>(new VideoFileWriter(std::move(parts)));
}

VideoFileWriter::VideoFileWriter(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

VideoFileWriter::~VideoFileWriter() {
    if (finished_) return;
    const auto partial = parts_->partial;
    parts_.reset();
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
}

bool VideoFileWriter::write(const std::uint8_t* pixels, std::size_t stride, std::int64_t timeMs,
                            std::string& error) {
    AVFrame& frame = *parts_->frame;
    if (av_frame_make_writable(&frame) < 0) {
        error = "the encoder's picture cannot be written";
        return false;
    }
    // Bottom-up rows: start at the last row and step backwards.
    const std::uint8_t* top = pixels + stride * static_cast<std::size_t>(frame.height - 1);
    const int strides[] = {-static_cast<int>(stride)};
    sws_scale(parts_->converter, &top, strides, 0, frame.height, frame.data, frame.linesize);
    frame.pts = std::max(timeMs, lastPts_ + 1);
    lastPts_ = frame.pts;
    if (const int result = avcodec_send_frame(parts_->encoder, &frame); result < 0) {
        error = "the picture could not be encoded: " + describe(result);
        return false;
    }
    ++frames_;
    return drain(false, error);
}

bool VideoFileWriter::drain(bool flushing, std::string& error) {
    for (;;) {
        const int received = avcodec_receive_packet(parts_->encoder, parts_->packet);
        if (received == AVERROR(EAGAIN) || (flushing && received == AVERROR_EOF)) return true;
        if (received < 0) {
            error = "the picture could not be encoded: " + describe(received);
            return false;
        }
        av_packet_rescale_ts(parts_->packet, parts_->encoder->time_base, parts_->stream->time_base);
        parts_->packet->stream_index = parts_->stream->index;
        if (const int result = av_interleaved_write_frame(parts_->format, parts_->packet);
            result < 0) {
            error = "cannot write " + parts_->file.string() + ": " + describe(result);
            return false;
        }
    }
}

bool VideoFileWriter::finish(std::string& error) {
    if (avcodec_send_frame(parts_->encoder, nullptr) < 0 || !drain(true, error)) return false;
    if (const int result = av_write_trailer(parts_->format); result < 0) {
        error = "cannot write " + parts_->file.string() + ": " + describe(result);
        return false;
    }
    avio_closep(&parts_->format->pb);
    parts_->fileOpen = false;
    std::error_code renamed;
    std::filesystem::rename(parts_->partial, parts_->file, renamed);
    if (renamed) {
        error = "cannot write " + parts_->file.string() + ": " + renamed.message();
        return false;
    }
    finished_ = true;
    return true;
}

}  // namespace ambro::cli
