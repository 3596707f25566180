// Owning pointers to the FFmpeg objects the decoders hold, each freed with FFmpeg's own
// function when it goes out of scope.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <memory>

namespace kestrova::media {

struct FfmpegInputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct FfmpegCodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FfmpegFrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct FfmpegPacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FfmpegResamplerFreer {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

using InputPtr = std::unique_ptr<AVFormatContext, FfmpegInputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, FfmpegCodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FfmpegFrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, FfmpegPacketFreer>;
using ResamplerPtr = std::unique_ptr<SwrContext, FfmpegResamplerFreer>;

} // namespace kestrova::media
