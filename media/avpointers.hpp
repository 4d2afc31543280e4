#pragma once

// Owning pointers for FFmpeg's objects, for the sources that use FFmpeg; never included by a
// public header.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <memory>
#include <string>

namespace av {

struct OutputCloser {
    void operator()(AVFormatContext* context) const noexcept {
        if (context->pb != nullptr && !(context->oformat->flags & AVFMT_NOFILE))
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct FormatCloser {
    void operator()(AVFormatContext* context) const noexcept { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const noexcept { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const noexcept { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const noexcept { av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const noexcept { sws_freeContext(context); }
};
struct BufferFreer {
    void operator()(std::uint8_t* buffer) const noexcept { av_free(buffer); }
};

// An input opened with avformat_open_input.
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
// An output made with avformat_alloc_output_context2; closes its file too.
using OutputPtr = std::unique_ptr<AVFormatContext, OutputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;
using BufferPtr = std::unique_ptr<std::uint8_t, BufferFreer>;

// Drops the packet's data at the end of a loop turn, whichever way the turn ends.
class PacketUnref {
  public:
    explicit PacketUnref(AVPacket* packet) noexcept : m_packet(packet) {}
    PacketUnref(const PacketUnref&) = delete;
    PacketUnref& operator=(const PacketUnref&) = delete;
    ~PacketUnref() { av_packet_unref(m_packet); }

  private:
    AVPacket* m_packet;
};

// FFmpeg's text for an error code.
inline std::string errorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

}  // namespace av
