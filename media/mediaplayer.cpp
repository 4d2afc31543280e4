#include "mediaplayer.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "avpointers.hpp"
#include "fileerror.hpp"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/cpu.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace capture {

MediaError::MediaError(std::string path, std::string reason)
    : std::runtime_error("cannot play " + support::shownPath(path) + ": " + reason),
      m_path(std::move(path)),
      m_reason(std::move(reason)) {}

void quietMediaLog() {
    av_log_set_level(AV_LOG_QUIET);
}

namespace {

constexpr int kMaxPictureSide = 16384;
constexpr std::int64_t kNoTime = AV_NOPTS_VALUE;
// Seconds ahead of the decoder from which a seek beats decoding on.
constexpr double kSeekGain = 1.0;

// How long a decoded frame lasts, in stream ticks (0 when unknown). libavutil 57.30 moved this
// from pkt_duration, which later releases removed, to duration.
std::int64_t frameDuration(const AVFrame& frame) {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
    return frame.duration;
#else
    return frame.pkt_duration;
#endif
}

// The first video stream that is not a cover picture, else the first video stream; -1 if none.
int firstVideoStream(const AVFormatContext& format) {
    int fallback = -1;
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVStream& stream = *format.streams[i];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        if ((stream.disposition & AV_DISPOSITION_ATTACHED_PIC) == 0) return static_cast<int>(i);
        if (fallback < 0) fallback = static_cast<int>(i);
    }
    return fallback;
}

bool isFullRangeFormat(AVPixelFormat format) {
    switch (format) {
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUVJ440P:
        case AV_PIX_FMT_YUVJ411P:
            return true;
        default:
            return false;
    }
}

// How the stored picture is turned for showing: shown pixel (x, y) comes from stored pixel
// (u, v) with u = swap ? y : x, v = swap ? x : y, each counted from the far side when flipped.
struct Turn {
    bool swap = false;
    bool flipU = false;
    bool flipV = false;
    bool operator==(const Turn&) const = default;
};

// The turn a display matrix asks for. The matrix maps a stored point (p, q) to the shown point
// (a p + c q, b p + d q) with a, b, c, d its elements 0, 1, 3 and 4 (16.16 fixed point). Only
// right angles and flips are honoured; any other matrix shows the picture as stored.
Turn turnOf(const std::int32_t* matrix) {
    if (matrix == nullptr) return {};
    const auto large = [](std::int32_t value) { return std::abs(value) >= (1 << 15); };
    const auto small = [](std::int32_t value) { return std::abs(value) < (1 << 8); };
    const std::int32_t a = matrix[0], b = matrix[1], c = matrix[3], d = matrix[4];
    if (large(a) && large(d) && small(b) && small(c)) return Turn{false, a < 0, d < 0};
    if (small(a) && small(d) && large(b) && large(c)) return Turn{true, b < 0, c < 0};
    return {};
}

// The stream's display matrix, if it has one of the right size.
const std::int32_t* displayMatrix(const AVStream& stream) {
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 30, 100)
    const AVPacketSideData* data =
        av_packet_side_data_get(stream.codecpar->coded_side_data,
                                stream.codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    if (data == nullptr || data->size < 9 * 4) return nullptr;
    return reinterpret_cast<const std::int32_t*>(data->data);
#else
    std::size_t size = 0;
    const std::uint8_t* data = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (data == nullptr || size < 9 * 4) return nullptr;
    return reinterpret_cast<const std::int32_t*>(data);
#endif
}

struct GraphFreer {
    void operator()(AVFilterGraph* graph) const noexcept { avfilter_graph_free(&graph); }
};
using GraphPtr = std::unique_ptr<AVFilterGraph, GraphFreer>;

}  // namespace

struct MediaPlayer::Impl {
    std::string path;
    int width = 0;
    int height = 0;
    MediaOptions options;
    Turn turn;
    int scaledWidth = 0;  // the picture as stored, scaled: width x height turned back
    int scaledHeight = 0;
    double shownAspect = 0;

    av::FormatPtr format;
    av::CodecPtr codec;
    av::PacketPtr packet;
    int streamIndex = -1;
    AVRational timeBase{1, 1};
    std::int64_t origin = 0;      // stream ticks of time 0
    std::int64_t frameTicks = 1;  // one frame at the stream's frame rate, in ticks
    // A stream without a start time (a bare elementary stream) has no timestamps of its own;
    // those FFmpeg guesses for it can be a frame off. Its frames follow one another instead.
    bool counted = false;
    bool inputEnded = false;  // the decoder has been sent its flush packet
    bool decoderEnded = false;
    // After a seek: the first packet of the stream is noted, whether it is a key and its time.
    bool awaitingKey = false;
    bool keyPacket = false;
    std::int64_t keyStamp = kNoTime;

    // Times of decoded frames, in ticks from origin; frames without a timestamp follow the last.
    std::int64_t lastTicks = kNoTime;
    std::int64_t lastDuration = 0;

    av::FramePtr current;  // the frame shown
    std::int64_t currentTicks = 0;
    av::FramePtr next;  // the frame after it, if haveNext
    std::int64_t nextTicks = 0;
    bool haveNext = false;

    long long tenths = 0;
    double length = 0;

    // The deinterlacer (FFmpeg's bwdif, one frame per frame), made for the first frame's size.
    GraphPtr graph;
    AVFilterContext* graphIn = nullptr;
    AVFilterContext* graphOut = nullptr;
    int graphWidth = 0, graphHeight = 0, graphFormat = -1;
    bool graphFlushed = false;
    av::FramePtr decoded;  // a frame on its way into the deinterlacer

    av::ScalerPtr scaler;
    struct ScalerKey {
        int width = -1, height = -1, format = -1, colorspace = -1, range = -1;
        bool operator==(const ScalerKey&) const = default;
    } scalerKey;
    av::BufferPtr scaled;
    int scaledStride = 0;
    Picture picture;
    bool pictureReady = false;

    [[noreturn]] void fail(const std::string& reason) const { throw MediaError(path, reason); }
    [[noreturn]] void fail(const std::string& what, int error) const {
        throw MediaError(path, what + ": " + av::errorText(error));
    }

    void open();
    void start();
    bool seekTo(double aim, double t);
    std::int64_t scanPackets() const;
    void findLength();
    bool decode(AVFrame* frame);
    bool decodeFrame(AVFrame* frame);
    void makeGraph(const AVFrame& frame);
    std::int64_t frameTime(const AVFrame& frame);
    double seconds(std::int64_t ticks) const;
    void scale(const AVFrame& frame);
    void turnInto(Picture& shown) const;
};

void MediaPlayer::Impl::open() {
    AVFormatContext* raw = nullptr;
    if (const int error = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); error < 0) {
        fail("cannot open the file", error);
    }
    format.reset(raw);
    if (const int error = avformat_find_stream_info(format.get(), nullptr); error < 0) {
        fail("cannot read the stream parameters", error);
    }
    streamIndex = firstVideoStream(*format);
    if (streamIndex < 0) fail("the file holds no video stream");
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (static_cast<int>(i) != streamIndex) format->streams[i]->discard = AVDISCARD_ALL;
    }
    AVStream* stream = format->streams[streamIndex];
    timeBase = stream->time_base;
    turn = turnOf(displayMatrix(*stream));
    if (timeBase.num <= 0 || timeBase.den <= 0) fail("the video stream has no time base");

    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (decoder == nullptr) {
        fail(std::string("no decoder for the video codec ") +
             avcodec_get_name(stream->codecpar->codec_id));
    }
    codec.reset(avcodec_alloc_context3(decoder));
    if (!codec) fail("out of memory");
    if (const int error = avcodec_parameters_to_context(codec.get(), stream->codecpar); error < 0) {
        fail("cannot set up the decoder", error);
    }
    codec->pkt_timebase = timeBase;
    // One thread a core the process may run on: libavcodec's own choice, a core more, is slower
    // on two cores (bench/threads-ratio).
    codec->thread_count = options.threads > 0 ? options.threads : av_cpu_count();
    // Whole frames side by side where the codec can: most streams hold one slice a frame.
    codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (const int error = avcodec_open2(codec.get(), decoder, nullptr); error < 0) {
        fail("cannot open the decoder", error);
    }

    AVRational rate = av_guess_frame_rate(format.get(), stream, nullptr);
    if (rate.num <= 0 || rate.den <= 0) rate = AVRational{25, 1};
    frameTicks = std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(rate), timeBase));

    packet.reset(av_packet_alloc());
    current.reset(av_frame_alloc());
    decoded.reset(av_frame_alloc());
    next.reset(av_frame_alloc());
    if (!packet || !current || !next || !decoded) fail("out of memory");
}

// The end of the stream's last packet (its time plus its duration) in stream ticks, or kNoTime.
// Reads every packet through a second, light context (no stream analysis), so that the decoding
// context stays at the start of the file.
std::int64_t MediaPlayer::Impl::scanPackets() const {
    std::int64_t last = kNoTime;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), format->iformat, nullptr) < 0) return kNoTime;
    av::FormatPtr scan(raw);
    const AVCodecParameters& wanted = *format->streams[streamIndex]->codecpar;
    av::PacketPtr item(av_packet_alloc());
    if (!item) fail("out of memory");

    std::int64_t previousEnd = kNoTime;
    for (;;) {
        const int error = av_read_frame(scan.get(), item.get());
        if (error == AVERROR_EOF || (error < 0 && scan->pb != nullptr && avio_feof(scan->pb))) {
            break;
        }
        if (error < 0) fail("cannot read the file", error);
        av::PacketUnref unref(item.get());
        if (item->stream_index != streamIndex) continue;
        const AVStream& stream = *scan->streams[item->stream_index];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
            stream.codecpar->codec_id != wanted.codec_id) {
            return kNoTime;  // the streams are not numbered as in the decoding context
        }
        if ((item->flags & AV_PKT_FLAG_DISCARD) != 0) continue;
        std::int64_t stamp = counted ? kNoTime : (item->pts != kNoTime ? item->pts : item->dts);
        if (stamp == kNoTime) stamp = previousEnd != kNoTime ? previousEnd : origin;
        const std::int64_t end = stamp + (item->duration > 0 ? item->duration : frameTicks);
        if (last == kNoTime || end > last) last = end;
        previousEnd = end;
    }
    return last;
}

void MediaPlayer::Impl::findLength() {
    const AVStream& stream = *format->streams[streamIndex];
    counted = stream.start_time == kNoTime;
    origin = counted ? 0 : stream.start_time;
    const std::int64_t last = scanPackets();

    std::int64_t endTicks = 0;  // from origin
    if (last != kNoTime) {
        endTicks = last - origin;
    } else if (stream.duration != kNoTime && stream.duration > 0) {
        endTicks = stream.duration;
    } else if (format->duration != kNoTime && format->duration > 0) {
        endTicks = av_rescale_q(format->duration, AVRational{1, AV_TIME_BASE}, timeBase);
    } else {
        endTicks = frameTicks;
    }

    // Tenth k lies before the end when k / 10 < endTicks * timeBase, exactly.
    tenths = endTicks <= 0
                 ? 0
                 : av_rescale_rnd(endTicks, 10LL * timeBase.num, timeBase.den, AV_ROUND_UP);
    const double end = seconds(endTicks);
    const double upper = std::nextafter(static_cast<double>(tenths) / 10.0, -1.0);
    length = std::min(end, upper);
    if (tenths > 0) length = std::max(length, static_cast<double>(tenths - 1) / 10.0);
}

double MediaPlayer::Impl::seconds(std::int64_t ticks) const {
    // One rounding only, so that a tick count equal to k / 10 gives exactly k / 10.0.
    return static_cast<double>(ticks) * timeBase.num / timeBase.den;
}

// Decodes the next frame into frame; false at the end of the stream.
bool MediaPlayer::Impl::decode(AVFrame* frame) {
    if (options.deinterlace == Deinterlace::Off) return decodeFrame(frame);
    // The deinterlacer holds one frame back: it sees the frame after the one it gives out.
    while (true) {
        if (graph) {
            av_frame_unref(frame);
            const int given = av_buffersink_get_frame(graphOut, frame);
            if (given >= 0) return true;
            if (given == AVERROR_EOF) return false;
            if (given != AVERROR(EAGAIN)) fail("cannot deinterlace the video", given);
        }
        if (graphFlushed) return false;
        if (!decodeFrame(decoded.get())) {
            if (!graph) return false;
            if (const int error = av_buffersrc_add_frame(graphIn, nullptr); error < 0)
                fail("cannot deinterlace the video", error);
            graphFlushed = true;
            continue;
        }
        if (!graph || decoded->width != graphWidth || decoded->height != graphHeight ||
            decoded->format != graphFormat) {
            makeGraph(*decoded);
        }
        if (const int error = av_buffersrc_add_frame(graphIn, decoded.get()); error < 0)
            fail("cannot deinterlace the video", error);
    }
}

void MediaPlayer::Impl::makeGraph(const AVFrame& frame) {
    graph.reset(avfilter_graph_alloc());
    if (!graph) fail("out of memory");
    graph->nb_threads = codec->thread_count;  // as many as decode
    graphWidth = frame.width;
    graphHeight = frame.height;
    graphFormat = frame.format;
    graphFlushed = false;
    const AVRational aspect =
        frame.sample_aspect_ratio.num > 0 ? frame.sample_aspect_ratio : AVRational{1, 1};
    char source[160];
    std::snprintf(source, sizeof source,
                  "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", frame.width,
                  frame.height, frame.format, timeBase.num, timeBase.den, aspect.num, aspect.den);
    const char* rule = options.deinterlace == Deinterlace::On
                           ? "mode=send_frame:parity=auto:deint=all"
                           : "mode=send_frame:parity=auto:deint=interlaced";
    AVFilterContext* deinterlacer = nullptr;
    int error = avfilter_graph_create_filter(&graphIn, avfilter_get_by_name("buffer"), "in", source,
                                             nullptr, graph.get());
    if (error >= 0) {
        error = avfilter_graph_create_filter(&deinterlacer, avfilter_get_by_name("bwdif"),
                                             "deinterlace", rule, nullptr, graph.get());
    }
    if (error >= 0) {
        error = avfilter_graph_create_filter(&graphOut, avfilter_get_by_name("buffersink"), "out",
                                             nullptr, nullptr, graph.get());
    }
    if (error >= 0) error = avfilter_link(graphIn, 0, deinterlacer, 0);
    if (error >= 0) error = avfilter_link(deinterlacer, 0, graphOut, 0);
    if (error >= 0) error = avfilter_graph_config(graph.get(), nullptr);
    if (error < 0) fail("cannot deinterlace pictures of this format", error);
}

bool MediaPlayer::Impl::decodeFrame(AVFrame* frame) {
    while (!decoderEnded) {
        const int received = avcodec_receive_frame(codec.get(), frame);
        if (received == 0) return true;
        if (received == AVERROR_EOF) {
            decoderEnded = true;
            break;
        }
        if (received == AVERROR_INVALIDDATA) continue;  // a damaged frame is skipped
        if (received != AVERROR(EAGAIN)) fail("cannot decode the video", received);

        if (inputEnded) {
            decoderEnded = true;  // a decoder that neither gives frames nor ends
            break;
        }
        const int read = av_read_frame(format.get(), packet.get());
        if (read < 0) {
            if (read != AVERROR_EOF && !(format->pb != nullptr && avio_feof(format->pb))) {
                fail("cannot read the file", read);
            }
            inputEnded = true;
            // The flush packet: the decoder gives out the frames it still holds.
            if (const int error = avcodec_send_packet(codec.get(), nullptr); error < 0) {
                fail("cannot decode the video", error);
            }
            continue;
        }
        av::PacketUnref unref(packet.get());
        if (packet->stream_index != streamIndex) continue;
        if (awaitingKey) {
            awaitingKey = false;
            keyPacket = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            keyStamp = packet->pts != kNoTime ? packet->pts : packet->dts;
        }
        const int sent = avcodec_send_packet(codec.get(), packet.get());
        if (sent < 0 && sent != AVERROR_INVALIDDATA) fail("cannot decode the video", sent);
    }
    return false;
}

std::int64_t MediaPlayer::Impl::frameTime(const AVFrame& frame) {
    std::int64_t stamp = counted ? kNoTime : frame.best_effort_timestamp;
    if (stamp == kNoTime && !counted) stamp = frame.pts;
    std::int64_t ticks;
    if (stamp != kNoTime) {
        ticks = stamp - origin;
    } else {
        ticks = lastTicks == kNoTime ? 0 : lastTicks + lastDuration;
    }
    lastTicks = ticks;
    lastDuration = frameDuration(frame) > 0 ? frameDuration(frame) : frameTicks;
    return ticks;
}

void MediaPlayer::Impl::scale(const AVFrame& frame) {
    picture.width = width;
    picture.height = height;
    if (width <= 0 || height <= 0) {
        picture = Picture{};
        return;
    }
    const auto sourceFormat = static_cast<AVPixelFormat>(frame.format);
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(sourceFormat);
    if (descriptor == nullptr || frame.width <= 0 || frame.height <= 0) {
        fail("the decoder gave a picture without a size or pixel format");
    }
    const bool yuv = (descriptor->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) == 0;
    const bool grey = descriptor->nb_components <= 2;

    int colorspace = frame.colorspace;
    if (colorspace == AVCOL_SPC_UNSPECIFIED || colorspace == AVCOL_SPC_RESERVED ||
        colorspace == AVCOL_SPC_RGB) {
        const bool hd = frame.width >= 1280 || frame.height > 576;
        colorspace = hd ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
    int range = 0;
    if (frame.color_range == AVCOL_RANGE_JPEG) {
        range = 1;
    } else if (frame.color_range == AVCOL_RANGE_UNSPECIFIED) {
        range = (grey || isFullRangeFormat(sourceFormat)) ? 1 : 0;
    }

    const ScalerKey key{frame.width, frame.height, frame.format, colorspace, range};
    if (!scaler || !(key == scalerKey)) {
        scaler.reset(sws_getContext(frame.width, frame.height, sourceFormat, scaledWidth,
                                    scaledHeight, AV_PIX_FMT_RGB24, SWS_AREA, nullptr, nullptr,
                                    nullptr));
        if (!scaler) {
            fail(std::string("cannot scale pictures of pixel format ") + descriptor->name);
        }
        if (yuv) {
            // Output RGB is always full range; its table is unused for an RGB target.
            const int* table = sws_getCoefficients(colorspace);
            sws_setColorspaceDetails(scaler.get(), table, range, table, 1, 0, 1 << 16, 1 << 16);
        }
        scalerKey = key;
    }

    std::uint8_t* targets[4] = {scaled.get(), nullptr, nullptr, nullptr};
    const int strides[4] = {scaledStride, 0, 0, 0};
    const int rows =
        sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, targets, strides);
    if (rows != scaledHeight) fail("scaling the picture failed");
    turnInto(picture);
}

void MediaPlayer::Impl::turnInto(Picture& shown) const {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    shown.rgb.resize(rowBytes * static_cast<std::size_t>(height));
    if (turn == Turn{}) {
        for (int y = 0; y < height; ++y) {
            std::memcpy(shown.rgb.data() + rowBytes * static_cast<std::size_t>(y),
                        scaled.get() + static_cast<std::size_t>(scaledStride) * y, rowBytes);
        }
        return;
    }
    std::uint8_t* out = shown.rgb.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, out += 3) {
            int u = turn.swap ? y : x;
            int v = turn.swap ? x : y;
            if (turn.flipU) u = scaledWidth - 1 - u;
            if (turn.flipV) v = scaledHeight - 1 - v;
            const std::uint8_t* in = scaled.get() + static_cast<std::size_t>(scaledStride) * v +
                                     static_cast<std::size_t>(u) * 3;
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
}

// Decodes the first two frames of the stream from where the input stands.
void MediaPlayer::Impl::start() {
    if (!decode(current.get())) fail("the video stream yields no picture");
    currentTicks = frameTime(*current);
    haveNext = decode(next.get());
    if (haveNext) nextTicks = frameTime(*next);
    pictureReady = false;
}

// Seeks to the key frame at or before aim seconds and decodes from it up to the frame shown at
// t. False when the seek fails or lands on a key frame after t; the input is then in no known
// place.
bool MediaPlayer::Impl::seekTo(double aim, double t) {
    const std::int64_t aimTicks =
        origin + static_cast<std::int64_t>(std::floor(aim * timeBase.den / timeBase.num));
    if (avformat_seek_file(format.get(), streamIndex, std::numeric_limits<std::int64_t>::min(),
                           aimTicks, aimTicks, 0) < 0) {
        return false;
    }
    avcodec_flush_buffers(codec.get());
    graph.reset();  // frames held from before the seek must not come out after it
    graphFlushed = false;
    inputEnded = false;
    decoderEnded = false;
    lastTicks = kNoTime;
    lastDuration = 0;
    awaitingKey = true;
    keyPacket = false;
    keyStamp = kNoTime;
    pictureReady = false;
    if (!decode(current.get())) return false;
    if (!keyPacket || keyStamp == kNoTime || !(seconds(keyStamp - origin) <= t)) return false;
    currentTicks = frameTime(*current);
    // Frames before the key frame (leading frames of an open group) may refer to pictures
    // before the seek point; the key frame and those after it do not.
    while (currentTicks < keyStamp - origin) {
        if (!decode(current.get())) return false;
        currentTicks = frameTime(*current);
    }
    haveNext = decode(next.get());
    if (haveNext) nextTicks = frameTime(*next);
    return true;
}

MediaPlayer::MediaPlayer(const std::string& path, int width, int height, MediaOptions options)
    : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    impl.path = path;
    if (width > kMaxPictureSide || height > kMaxPictureSide) {
        impl.fail("the picture size is larger than " + std::to_string(kMaxPictureSide));
    }
    impl.width = std::max(width, 0);
    impl.height = std::max(height, 0);
    impl.options = options;
    impl.open();
    impl.findLength();
    impl.scaledWidth = impl.turn.swap ? impl.height : impl.width;
    impl.scaledHeight = impl.turn.swap ? impl.width : impl.height;

    if (impl.width > 0 && impl.height > 0) {
        // sws_scale writes whole vectors; an aligned stride keeps it on its fast path.
        impl.scaledStride = FFALIGN(impl.scaledWidth * 3, 64);
        impl.scaled.reset(static_cast<std::uint8_t*>(
            av_malloc(static_cast<std::size_t>(impl.scaledStride) * impl.scaledHeight + 64)));
        if (!impl.scaled) impl.fail("out of memory");
    }

    impl.start();
    const AVRational sample = av_guess_sample_aspect_ratio(
        impl.format.get(), impl.format->streams[impl.streamIndex], impl.current.get());
    double aspect = static_cast<double>(impl.current->width) / impl.current->height;
    if (sample.num > 0 && sample.den > 0) aspect *= av_q2d(sample);
    impl.shownAspect = impl.turn.swap ? 1 / aspect : aspect;
}

MediaPlayer::~MediaPlayer() = default;

double MediaPlayer::Length() {
    return m_impl->length;
}

double MediaPlayer::shownAspect() const noexcept {
    return m_impl->shownAspect;
}

std::string MediaPlayer::turnName() const {
    const Turn turn = m_impl->turn;
    if (!turn.swap) {
        if (turn.flipU && turn.flipV) return "rotated by 180 degrees";
        if (turn.flipU) return "flipped left to right";
        if (turn.flipV) return "flipped upside down";
        return "";
    }
    if (turn.flipU && !turn.flipV) return "rotated by 90 degrees counterclockwise";
    if (!turn.flipU && turn.flipV) return "rotated by 90 degrees clockwise";
    if (!turn.flipU) return "mirrored about the diagonal from the top left";
    return "mirrored about the diagonal from the top right";
}

void MediaPlayer::seek(double t) {
    Impl& impl = *m_impl;
    // Streams without timestamps cannot tell where a seek landed; near times are cheaper to
    // decode on to.
    if (impl.counted || !impl.haveNext || !(t - impl.seconds(impl.nextTicks) > kSeekGain)) return;
    const double first = impl.seconds(impl.currentTicks);
    for (double back = 0;; back = back == 0 ? 1 : back * 2) {
        const double aim = t - back;
        if (aim <= first) break;
        if (impl.seekTo(aim, t)) return;
    }
    // No key frame before t was found: decode from the start, as without a seek.
    impl.format.reset();
    impl.codec.reset();
    impl.graph.reset();
    impl.graphFlushed = false;
    impl.inputEnded = false;
    impl.decoderEnded = false;
    impl.awaitingKey = false;
    impl.lastTicks = kNoTime;
    impl.lastDuration = 0;
    impl.open();
    impl.start();
}

const Picture& MediaPlayer::pictureAt(double t) {
    Impl& impl = *m_impl;
    while (impl.haveNext && impl.seconds(impl.nextTicks) <= t) {
        std::swap(impl.current, impl.next);
        impl.currentTicks = impl.nextTicks;
        impl.pictureReady = false;
        impl.haveNext = impl.decode(impl.next.get());
        if (impl.haveNext) impl.nextTicks = impl.frameTime(*impl.next);
    }
    if (!impl.pictureReady) {
        impl.scale(*impl.current);
        impl.pictureReady = true;
    }
    return impl.picture;
}

}  // namespace capture
