#include "clipwriter.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "avpointers.hpp"

namespace capturetest {

namespace {

void check(int error, const std::string& what) {
    if (error < 0) throw std::runtime_error(what + ": " + av::errorText(error));
}

std::uint8_t code(double value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

void drain(AVCodecContext* codec, AVFormatContext* output, AVStream* stream, AVPacket* packet) {
    for (;;) {
        const int received = avcodec_receive_packet(codec, packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
        check(received, "encoding");
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        check(av_interleaved_write_frame(output, packet), "writing a packet");
    }
}

}  // namespace

void ToYCbCr(Rgb colour, Matrix matrix, bool fullRange, std::uint8_t& y, std::uint8_t& cb,
             std::uint8_t& cr) {
    const double kr = matrix == Matrix::bt709 ? 0.2126 : 0.299;
    const double kb = matrix == Matrix::bt709 ? 0.0722 : 0.114;
    const double r = colour.r / 255.0, g = colour.g / 255.0, b = colour.b / 255.0;
    const double luma = kr * r + (1 - kr - kb) * g + kb * b;
    const double pb = (b - luma) / (2 * (1 - kb));
    const double pr = (r - luma) / (2 * (1 - kr));
    if (fullRange) {
        y = code(255 * luma);
        cb = code(128 + 255 * pb);
        cr = code(128 + 255 * pr);
    } else {
        y = code(16 + 219 * luma);
        cb = code(128 + 224 * pb);
        cr = code(128 + 224 * pr);
    }
}

void WriteClip(const std::string& path, const ClipRecipe& recipe) {
    AVFormatContext* raw = nullptr;
    check(avformat_alloc_output_context2(&raw, nullptr, recipe.muxer.c_str(), path.c_str()),
          "creating the output");
    av::OutputPtr output(raw);

    const AVCodec* encoder = avcodec_find_encoder_by_name(recipe.encoder.c_str());
    if (encoder == nullptr) throw std::runtime_error("no encoder " + recipe.encoder);
    av::CodecPtr codec(avcodec_alloc_context3(encoder));
    codec->width = recipe.width;
    codec->height = recipe.height;
    codec->pix_fmt = AV_PIX_FMT_YUV420P;
    codec->time_base = AVRational{1, recipe.fps};
    codec->framerate = AVRational{recipe.fps, 1};
    codec->gop_size = recipe.gop;
    codec->max_b_frames = recipe.bFrames;
    codec->color_range = recipe.fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    codec->colorspace = recipe.matrix == Matrix::bt709 ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
    codec->color_primaries = recipe.matrix == Matrix::bt709 ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
    codec->color_trc = recipe.matrix == Matrix::bt709 ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
    if (!recipe.tagged) {
        codec->colorspace = AVCOL_SPC_UNSPECIFIED;
        codec->color_primaries = AVCOL_PRI_UNSPECIFIED;
        codec->color_trc = AVCOL_TRC_UNSPECIFIED;
    }
    if ((output->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (recipe.interlaced) {
        codec->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
        codec->field_order = AV_FIELD_TT;
    }
    AVDictionary* options = nullptr;
    if (recipe.encoder == "libx264") {
        av_dict_set(&options, "preset", "ultrafast", 0);
        av_dict_set(&options, "qp", "4", 0);
    } else {
        codec->flags |= AV_CODEC_FLAG_QSCALE;
        codec->global_quality = FF_QP2LAMBDA * 2;
    }
    const int opened = avcodec_open2(codec.get(), encoder, &options);
    av_dict_free(&options);
    check(opened, "opening the encoder");

    AVStream* stream = avformat_new_stream(output.get(), nullptr);
    if (stream == nullptr) throw std::runtime_error("cannot add a stream");
    stream->time_base = codec->time_base;
    check(avcodec_parameters_from_context(stream->codecpar, codec.get()), "stream parameters");
    if (recipe.displayMatrix) {
        constexpr std::size_t kSize = sizeof(*recipe.displayMatrix);
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 30, 100)
        AVPacketSideData* data = av_packet_side_data_new(&stream->codecpar->coded_side_data,
                                                         &stream->codecpar->nb_coded_side_data,
                                                         AV_PKT_DATA_DISPLAYMATRIX, kSize, 0);
        if (data == nullptr) throw std::runtime_error("cannot add the display matrix");
        std::memcpy(data->data, recipe.displayMatrix->data(), kSize);
#else
        std::uint8_t* data = av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, kSize);
        if (data == nullptr) throw std::runtime_error("cannot add the display matrix");
        std::memcpy(data, recipe.displayMatrix->data(), kSize);
#endif
    }
    if ((output->oformat->flags & AVFMT_NOFILE) == 0) {
        check(avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), "opening " + path);
    }
    check(avformat_write_header(output.get(), nullptr), "writing the header");

    av::FramePtr frame(av_frame_alloc());
    av::PacketPtr packet(av_packet_alloc());
    frame->width = recipe.width;
    frame->height = recipe.height;
    frame->format = AV_PIX_FMT_YUV420P;
    check(av_frame_get_buffer(frame.get(), 0), "allocating a frame");
    for (int i = 0; i < recipe.frames; ++i) {
        check(av_frame_make_writable(frame.get()), "writable frame");
        std::uint8_t y = 0, cb = 0, cr = 0;
        ToYCbCr(recipe.colour(i), recipe.matrix, recipe.fullRange, y, cb, cr);
        for (int row = 0; row < recipe.height; ++row) {
            std::fill_n(frame->data[0] + row * frame->linesize[0], recipe.width, y);
        }
        for (int row = 0; row < (recipe.height + 1) / 2; ++row) {
            std::fill_n(frame->data[1] + row * frame->linesize[1], (recipe.width + 1) / 2, cb);
            std::fill_n(frame->data[2] + row * frame->linesize[2], (recipe.width + 1) / 2, cr);
        }
        for (int row = 0; recipe.pixel && row < recipe.height; ++row) {
            for (int column = 0; column < recipe.width; ++column) {
                ToYCbCr(recipe.pixel(i, column, row), recipe.matrix, recipe.fullRange, y, cb, cr);
                frame->data[0][row * frame->linesize[0] + column] = y;
                frame->data[1][row / 2 * frame->linesize[1] + column / 2] = cb;
                frame->data[2][row / 2 * frame->linesize[2] + column / 2] = cr;
            }
        }
        frame->pts = i;
        frame->interlaced_frame = recipe.interlaced ? 1 : 0;
        frame->top_field_first = recipe.interlaced ? 1 : 0;
        check(avcodec_send_frame(codec.get(), frame.get()), "encoding a frame");
        drain(codec.get(), output.get(), stream, packet.get());
    }
    check(avcodec_send_frame(codec.get(), nullptr), "flushing the encoder");
    drain(codec.get(), output.get(), stream, packet.get());
    check(av_write_trailer(output.get()), "writing the trailer");
}

}  // namespace capturetest
