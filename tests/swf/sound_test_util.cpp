#include "sound_test_util.h"

#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace soundtest {

namespace {

void PutU16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(Bytes& b, uint32_t v) {
    PutU16(b, v & 0xFFFF);
    PutU16(b, v >> 16);
}

// Appends every frame the decoder has ready, converted to interleaved 16-bit.
bool Drain(AVCodecContext* ctx, AVFrame* frame, Decoded& out) {
    while (true) {
        int r = avcodec_receive_frame(ctx, frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) {
            return true;
        }
        if (r < 0) {
            return false;
        }
        int channels = frame->ch_layout.nb_channels;
        out.channels = channels;
        auto format = static_cast<AVSampleFormat>(frame->format);
        bool planar = av_sample_fmt_is_planar(format);
        for (int i = 0; i < frame->nb_samples; ++i) {
            for (int c = 0; c < channels; ++c) {
                const uint8_t* plane = frame->extended_data[planar ? c : 0];
                size_t at = planar ? i : size_t(i) * channels + c;
                int16_t value = 0;
                switch (av_get_packed_sample_fmt(format)) {
                case AV_SAMPLE_FMT_S16:
                    value = reinterpret_cast<const int16_t*>(plane)[at];
                    break;
                case AV_SAMPLE_FMT_FLT: {
                    float f = reinterpret_cast<const float*>(plane)[at];
                    value =
                        static_cast<int16_t>(std::lround(std::fmax(-1, std::fmin(1, f)) * 32767.0));
                    break;
                }
                default:
                    return false;
                }
                out.samples.push_back(value);
            }
        }
        av_frame_unref(frame);
    }
}

struct Codec {
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    ~Codec() {
        avcodec_free_context(&ctx);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
    bool Send(const uint8_t* data, size_t size, Decoded& out) {
        if (av_new_packet(packet, static_cast<int>(size)) < 0) {
            return false;
        }
        memcpy(packet->data, data, size);
        int r = avcodec_send_packet(ctx, packet);
        av_packet_unref(packet);
        return r >= 0 && Drain(ctx, frame, out);
    }
    bool Finish(Decoded& out) {
        avcodec_send_packet(ctx, nullptr);
        return Drain(ctx, frame, out);
    }
};

} // namespace

Decoded DecodeSwfAdpcm(const uint8_t* data, size_t size, int sampleRate, int channels) {
    Decoded out;
    Codec codec;
    const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_ADPCM_SWF);
    if (!decoder || !(codec.ctx = avcodec_alloc_context3(decoder))) {
        return out;
    }
    codec.ctx->sample_rate = sampleRate;
    av_channel_layout_default(&codec.ctx->ch_layout, channels);
    if (avcodec_open2(codec.ctx, decoder, nullptr) < 0) {
        return out;
    }
    out.ok = codec.Send(data, size, out) && codec.Finish(out);
    return out;
}

double SnrDb(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded) {
    size_t n = std::min(source.size(), decoded.size());
    double signal = 0, noise = 0;
    for (size_t i = 0; i < n; ++i) {
        double d = double(source[i]) - decoded[i];
        signal += double(source[i]) * source[i];
        noise += d * d;
    }
    return noise == 0 ? 1000 : 10 * std::log10(signal / noise);
}

std::vector<int16_t> SineSweep(uint32_t frames, int channels, int sampleRate, double f0, double f1,
                               double amplitude) {
    std::vector<int16_t> out(size_t(frames) * channels);
    double duration = double(frames) / sampleRate;
    for (uint32_t i = 0; i < frames; ++i) {
        double t = double(i) / sampleRate;
        // Linear chirp: phase = 2π (f0 t + (f1 − f0) t² / (2 duration)).
        double phase = 2 * M_PI * (f0 * t + (f1 - f0) * t * t / (2 * duration));
        for (int c = 0; c < channels; ++c) {
            out[size_t(i) * channels + c] =
                static_cast<int16_t>(std::lround(amplitude * 32767 * std::sin(phase + c * 0.7)));
        }
    }
    return out;
}

Bytes Chunk(const char* id, const Bytes& body, int64_t declaredSize) {
    Bytes b(id, id + 4);
    PutU32(b, declaredSize < 0 ? static_cast<uint32_t>(body.size())
                               : static_cast<uint32_t>(declaredSize));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) {
        b.push_back(0); // the pad byte of an odd-sized chunk
    }
    return b;
}

Bytes FormatChunk(uint32_t formatTag, uint32_t channels, uint32_t rate, uint32_t bits) {
    Bytes b;
    uint32_t blockAlign = channels * ((bits + 7) / 8);
    PutU16(b, formatTag);
    PutU16(b, channels);
    PutU32(b, rate);
    PutU32(b, rate * blockAlign);
    PutU16(b, blockAlign);
    PutU16(b, bits);
    if (formatTag != 1) {
        PutU16(b, 0);
    }
    return Chunk("fmt ", b);
}

Bytes RiffWave(const std::vector<Bytes>& chunks, int64_t declaredSize) {
    Bytes body{'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) {
        body.insert(body.end(), c.begin(), c.end());
    }
    return Chunk("RIFF", body, declaredSize);
}

Bytes PcmWave(uint32_t channels, uint32_t rate, uint32_t bits, const Bytes& data) {
    return RiffWave({FormatChunk(1, channels, rate, bits), Chunk("data", data)});
}

} // namespace soundtest
