// The GIF and MP4 exports, encoded with FFmpeg.

#include <functional>
#include <vector>

#include "atomicfile.hpp"
#include "avpointers.hpp"
#include "exports.hpp"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace player {

void quietMediaLog() {
    av_log_set_level(AV_LOG_ERROR);
}

namespace {

constexpr AVRational kFrameTime{1, kFramesPerSecond};

// One video stream, encoded and muxed into a file that appears once finish() succeeds.
class VideoEncoder {
  public:
    VideoEncoder(const std::string& path, const char* formatName, const AVCodec* codec,
                 AVPixelFormat pixelFormat, int width, int height,
                 const std::function<void(AVCodecContext*)>& configure)
        : m_path(path), m_file(path) {
        if (codec == nullptr) fail("no encoder for this format in the media libraries", 0);
        AVFormatContext* output = nullptr;
        check(avformat_alloc_output_context2(&output, nullptr, formatName, m_file.path().c_str()),
              "cannot set up the container");
        m_output.reset(output);

        m_codec.reset(avcodec_alloc_context3(codec));
        if (!m_codec) fail("out of memory", 0);
        m_codec->width = width;
        m_codec->height = height;
        m_codec->pix_fmt = pixelFormat;
        m_codec->time_base = kFrameTime;
        m_codec->framerate = av_inv_q(kFrameTime);
        if (configure) configure(m_codec.get());
        if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
            m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        check(avcodec_open2(m_codec.get(), codec, nullptr), "cannot open the encoder");

        m_stream = avformat_new_stream(m_output.get(), nullptr);
        if (m_stream == nullptr) fail("out of memory", 0);
        check(avcodec_parameters_from_context(m_stream->codecpar, m_codec.get()),
              "cannot set up the stream");
        m_stream->time_base = m_codec->time_base;
        // "file:" keeps a name with a colon from being taken for a protocol.
        check(avio_open(&m_output->pb, ("file:" + m_file.path()).c_str(), AVIO_FLAG_WRITE),
              "cannot open the file");
        check(avformat_write_header(m_output.get(), nullptr), "cannot write the header");

        m_frame.reset(av_frame_alloc());
        m_packet.reset(av_packet_alloc());
        if (!m_frame || !m_packet) fail("out of memory", 0);
        m_frame->format = pixelFormat;
        m_frame->width = width;
        m_frame->height = height;
        check(av_frame_get_buffer(m_frame.get(), 0), "cannot allocate a frame");
    }

    // The frame to fill with the next picture; the encoder may still hold the one before.
    AVFrame* nextFrame() {
        check(av_frame_make_writable(m_frame.get()), "cannot allocate a frame");
        return m_frame.get();
    }
    // Encodes the frame nextFrame() gave, shown for one tenth of a second.
    void send() {
        m_frame->pts = m_nextPts++;
        encode(m_frame.get());
    }
    // Drains the encoder, ends the file and moves it into place. A file without frames is an
    // error and is not kept.
    void finish() {
        if (m_nextPts == 0) fail("there are no frames to write", 0);
        encode(nullptr);
        check(av_write_trailer(m_output.get()), "cannot end the file");
        check(avio_closep(&m_output->pb), "cannot close the file");
        m_file.commit();
    }

  private:
    [[noreturn]] void fail(const std::string& what, int error) const {
        throw support::FileError(m_path, error < 0 ? what + ": " + av::errorText(error) : what);
    }
    void check(int result, const char* what) const {
        if (result < 0) fail(what, result);
    }
    void encode(const AVFrame* frame) {
        check(avcodec_send_frame(m_codec.get(), frame), "cannot encode a frame");
        for (;;) {
            const int result = avcodec_receive_packet(m_codec.get(), m_packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
            check(result, "cannot encode a frame");
            const av::PacketUnref unref(m_packet.get());
            if (m_packet->duration == 0) m_packet->duration = 1;
            av_packet_rescale_ts(m_packet.get(), m_codec->time_base, m_stream->time_base);
            m_packet->stream_index = m_stream->index;
            check(av_interleaved_write_frame(m_output.get(), m_packet.get()), "cannot write");
        }
    }

    std::string m_path;
    support::FileCommit m_file;
    av::OutputPtr m_output;
    av::CodecPtr m_codec;
    AVStream* m_stream = nullptr;
    av::FramePtr m_frame;
    av::PacketPtr m_packet;
    std::int64_t m_nextPts = 0;
};

std::uint32_t argb(const Rgb& colour) {
    return 0xFF000000U | static_cast<std::uint32_t>(colour.red) << 16 |
           static_cast<std::uint32_t>(colour.green) << 8 | colour.blue;
}

class GifWriter : public FrameSink {
  public:
    GifWriter(const std::string& path, const PictureGeometry& geometry)
        : m_geometry(geometry),
          m_encoder(path, "gif", avcodec_find_encoder(AV_CODEC_ID_GIF), AV_PIX_FMT_PAL8,
                    geometry.width(), geometry.height(), {}) {}

    void add(const TIFunctions::BitString& screen) override {
        AVFrame* frame = m_encoder.nextFrame();
        // A PAL8 frame carries its palette in data[1]: 256 entries of 0xAARRGGBB.
        auto* palette = reinterpret_cast<std::uint32_t*>(frame->data[1]);
        std::fill_n(palette, 256, argb(kDarkColour));
        palette[0] = argb(kLightColour);
        palette[1] = argb(kDarkColour);
        rasterise(screen, m_geometry, frame->data[0], static_cast<std::size_t>(frame->linesize[0]));
        m_encoder.send();
    }
    void finish() override { m_encoder.finish(); }

  private:
    PictureGeometry m_geometry;
    VideoEncoder m_encoder;
};

const AVCodec* mp4Codec() {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    return codec != nullptr ? codec : avcodec_find_encoder(AV_CODEC_ID_MPEG4);
}

class Mp4Writer : public FrameSink {
  public:
    Mp4Writer(const std::string& path, const PictureGeometry& geometry)
        : m_geometry(geometry),
          m_width(geometry.width() + geometry.width() % 2),
          m_height(geometry.height() + geometry.height() % 2),
          m_encoder(path, "mp4", mp4Codec(), AV_PIX_FMT_YUV420P, m_width, m_height,
                    [h264 = mp4Codec() != nullptr &&
                            mp4Codec()->id == AV_CODEC_ID_H264](AVCodecContext* context) {
                        context->color_range = AVCOL_RANGE_MPEG;
                        context->colorspace = AVCOL_SPC_SMPTE170M;
                        context->color_primaries = AVCOL_PRI_SMPTE170M;
                        context->color_trc = AVCOL_TRC_SMPTE170M;
                        context->gop_size = kFramesPerSecond;
                        if (h264) {
                            av_opt_set(context->priv_data, "preset", "medium", 0);
                            av_opt_set(context->priv_data, "crf", "16", 0);
                        } else {
                            context->flags |= AV_CODEC_FLAG_QSCALE;
                            context->global_quality = FF_QP2LAMBDA * 2;
                        }
                    }),
          m_scaler(sws_getContext(m_width, m_height, AV_PIX_FMT_RGB24, m_width, m_height,
                                  AV_PIX_FMT_YUV420P, SWS_POINT | SWS_ACCURATE_RND, nullptr,
                                  nullptr, nullptr)),
          m_pixels(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height)),
          m_rgb(m_pixels.size() * 3) {
        if (!m_scaler) throw support::FileError(path, "cannot set up the colour conversion");
    }

    void add(const TIFunctions::BitString& screen) override {
        // The padding column and row, when there are any, stay light.
        rasterise(screen, m_geometry, m_pixels.data(), static_cast<std::size_t>(m_width));
        for (std::size_t i = 0; i < m_pixels.size(); ++i) {
            const Rgb& colour = m_pixels[i] != 0 ? kDarkColour : kLightColour;
            m_rgb[3 * i] = colour.red;
            m_rgb[3 * i + 1] = colour.green;
            m_rgb[3 * i + 2] = colour.blue;
        }
        AVFrame* frame = m_encoder.nextFrame();
        const std::uint8_t* source[1] = {m_rgb.data()};
        const int sourceStride[1] = {3 * m_width};
        sws_scale(m_scaler.get(), source, sourceStride, 0, m_height, frame->data, frame->linesize);
        m_encoder.send();
    }
    void finish() override { m_encoder.finish(); }

  private:
    PictureGeometry m_geometry;
    int m_width;
    int m_height;
    VideoEncoder m_encoder;
    av::ScalerPtr m_scaler;
    std::vector<std::uint8_t> m_pixels;
    std::vector<std::uint8_t> m_rgb;
};

}  // namespace

std::unique_ptr<FrameSink> openGif(const std::string& path, const PictureGeometry& geometry) {
    return std::make_unique<GifWriter>(path, geometry);
}

std::unique_ptr<FrameSink> openMp4(const std::string& path, const PictureGeometry& geometry) {
    return std::make_unique<Mp4Writer>(path, geometry);
}

}  // namespace player
