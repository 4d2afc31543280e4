#include "videoreader.hpp"

#include <stdexcept>

#include "avpointers.hpp"

namespace testvideo {

namespace {

void check(int result, const std::string& what) {
    if (result < 0) throw std::runtime_error(what + ": " + av::errorText(result));
}

}  // namespace

Video readVideo(const std::string& path) {
    using namespace av;
    AVFormatContext* raw = nullptr;
    check(avformat_open_input(&raw, path.c_str(), nullptr, nullptr), "open " + path);
    const FormatPtr input(raw);
    check(avformat_find_stream_info(input.get(), nullptr), "stream info");
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    check(index, "no video stream");
    AVStream* stream = input->streams[index];
    const CodecPtr decoder(avcodec_alloc_context3(codec));
    check(avcodec_parameters_to_context(decoder.get(), stream->codecpar), "parameters");
    check(avcodec_open2(decoder.get(), codec, nullptr), "open decoder");

    Video video;
    video.codec = codec->name;
    const AVRational rate = av_guess_frame_rate(input.get(), stream, nullptr);
    video.framesPerSecond = rate.den == 0 ? 0 : av_q2d(rate);
    const FramePtr frame(av_frame_alloc());
    const PacketPtr packet(av_packet_alloc());
    ScalerPtr scaler;
    const auto receive = [&] {
        for (;;) {
            const int result = avcodec_receive_frame(decoder.get(), frame.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
            check(result, "decode");
            Picture picture;
            picture.width = frame->width;
            picture.height = frame->height;
            picture.rgb.resize(static_cast<std::size_t>(3 * frame->width * frame->height));
            scaler.reset(sws_getContext(frame->width, frame->height,
                                        static_cast<AVPixelFormat>(frame->format), frame->width,
                                        frame->height, AV_PIX_FMT_RGB24,
                                        SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
            std::uint8_t* target[1] = {picture.rgb.data()};
            const int stride[1] = {3 * frame->width};
            sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, target, stride);
            video.frames.push_back(std::move(picture));
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        const PacketUnref unref(packet.get());
        if (packet->stream_index != index) continue;
        check(avcodec_send_packet(decoder.get(), packet.get()), "send packet");
        receive();
    }
    check(avcodec_send_packet(decoder.get(), nullptr), "drain");
    receive();
    return video;
}

}  // namespace testvideo
