#include "host/movie/FfmpegDecoder.h"

#include "host/sound/Sound.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include <dlfcn.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/macros.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

namespace host::movie::ffmpeg {

namespace {

// The libraries load with the first movie: a process that plays none (the
// tool, most test programs) starts without them and the ninety-odd
// libraries they bring, which cost a start under the sanitizers a tenth of
// a second.
#define ORV_FFMPEG_FUNCTIONS(X) \
    X(av_channel_layout_channel_from_index) \
    X(av_channel_layout_default) \
    X(av_channel_layout_uninit) \
    X(av_find_best_stream) \
    X(av_frame_alloc) \
    X(av_frame_free) \
    X(av_free) \
    X(av_freep) \
    X(av_get_bytes_per_sample) \
    X(av_get_packed_sample_fmt) \
    X(av_guess_frame_rate) \
    X(av_log_set_level) \
    X(av_malloc) \
    X(av_packet_alloc) \
    X(av_packet_free) \
    X(av_packet_unref) \
    X(av_read_frame) \
    X(av_rescale) \
    X(av_rescale_q) \
    X(av_rescale_q_rnd) \
    X(av_sample_fmt_is_planar) \
    X(av_strdup) \
    X(avcodec_alloc_context3) \
    X(avcodec_find_decoder) \
    X(avcodec_free_context) \
    X(avcodec_open2) \
    X(avcodec_parameters_to_context) \
    X(avcodec_receive_frame) \
    X(avcodec_send_packet) \
    X(avformat_alloc_context) \
    X(avformat_close_input) \
    X(avformat_find_stream_info) \
    X(avformat_open_input) \
    X(avio_alloc_context) \
    X(avio_context_free) \
    X(sws_freeContext) \
    X(sws_getCachedContext) \
    X(sws_scale)

struct Api {
    bool loaded = false;
#define ORV_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
    ORV_FFMPEG_FUNCTIONS(ORV_FFMPEG_POINTER)
#undef ORV_FFMPEG_POINTER
};

Api LoadApi()
{
    Api api;
    // The versions the code was built against, whose layouts it reads.
    void* const libraries[] = {
        dlopen("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL),
        dlopen("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL),
        dlopen("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL),
        dlopen("libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL),
    };
    auto find = [&](const char* name) -> void* {
        for (void* library : libraries)
            if (void* symbol = library ? dlsym(library, name) : nullptr) return symbol;
        return nullptr;
    };
    bool all = true;
#define ORV_FFMPEG_FIND(name) \
    api.name = reinterpret_cast<decltype(api.name)>(find(#name)); \
    all = all && api.name;
    ORV_FFMPEG_FUNCTIONS(ORV_FFMPEG_FIND)
#undef ORV_FFMPEG_FIND
    // Never closed: frames and contexts may outlive any one movie.
    api.loaded = all;
    return all ? api : Api{};
}

// Every function null when a library or one of its functions is missing:
// then no movie opens.
const Api& Av()
{
    static const Api api = LoadApi();
    return api;
}

// Containers a movie may come in; other demuxers (playlists, images,
// anything that reaches for other files) are never tried.
constexpr char kFormats[] = "mpeg,mpegts,mpegvideo,avi,asf,mov,matroska,ogg";
constexpr int kIoBytes = 64 * 1024;
// Picture packets read ahead while looking for sound; more means the movie
// keeps its sound far behind its pictures, and the sound waits.
constexpr size_t kMaxQueuedBytes = 64u << 20;
// Decoded sound kept ahead; more (sound far ahead of the pictures) is dropped.
constexpr size_t kMaxSoundSeconds = 30;
// Damaged pictures skipped at the start before a movie is refused.
constexpr int kMaxDamagedOpening = 25;
// Sound starting later than the pictures is led in with silence, up to this.
constexpr int64_t kMaxLeadInMs = 10000;
constexpr int64_t kMaxStopMs = 24 * 3600 * 1000;
constexpr AVRational kMilliseconds{1, 1000};

void QuietLogs()
{
    static std::once_flag once;
    std::call_once(once, [] { Av().av_log_set_level(AV_LOG_QUIET); });
}

// ---------------------------------------------------------------- sources

class FileByteSource final : public ByteSource {
public:
    explicit FileByteSource(std::unique_ptr<host::kernel::File> file) : file_(std::move(file)) {}
    size_t Read(uint8_t* buffer, size_t bytes) override { return file_->Read(buffer, bytes); }
    bool Seek(int64_t offset) override { return file_->Seek(offset, host::kernel::SeekOrigin::Begin); }
    int64_t Tell() const override { return file_->Tell(); }
    int64_t Size() const override { return file_->Size(); }

private:
    std::unique_ptr<host::kernel::File> file_;
};

class MemoryByteSource final : public ByteSource {
public:
    explicit MemoryByteSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    size_t Read(uint8_t* buffer, size_t bytes) override
    {
        if (at_ >= bytes_.size()) return 0;
        const size_t n = std::min(bytes, bytes_.size() - at_);
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }
    bool Seek(int64_t offset) override
    {
        if (offset < 0) return false;
        at_ = size_t(offset);
        return true;
    }
    int64_t Tell() const override { return int64_t(at_); }
    int64_t Size() const override { return int64_t(bytes_.size()); }

private:
    std::vector<uint8_t> bytes_;
    size_t at_ = 0;
};

int ReadBytes(void* opaque, uint8_t* buffer, int size)
{
    if (size <= 0) return 0;
    const size_t got = static_cast<ByteSource*>(opaque)->Read(buffer, size_t(size));
    return got == 0 ? AVERROR_EOF : int(got);
}

int64_t SeekBytes(void* opaque, int64_t offset, int whence)
{
    auto* source = static_cast<ByteSource*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return source->Size();
    int64_t base = 0;
    if (whence == SEEK_CUR) base = source->Tell();
    else if (whence == SEEK_END) base = source->Size();
    else if (whence != SEEK_SET) return AVERROR(EINVAL);
    int64_t to = 0;
    if (__builtin_add_overflow(base, offset, &to) || to < 0 || !source->Seek(to)) return AVERROR(EINVAL);
    return to;
}

int RefuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

// A timestamp of a stream as milliseconds from `start` (in the same time
// base), kept within a day either way, so sums of them cannot overflow;
// false when there is none or it does not fit.
bool ToMs(int64_t ts, int64_t start, AVRational base, int64_t& ms)
{
    int64_t relative = 0;
    if (ts == AV_NOPTS_VALUE || __builtin_sub_overflow(ts, start, &relative)) return false;
    ms = Av().av_rescale_q_rnd(relative, base, kMilliseconds, AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    if (ms == AV_NOPTS_VALUE) return false;
    ms = std::clamp(ms, -kMaxStopMs, kMaxStopMs + 1);
    return true;
}

// One sample of a packed format in 16-bit units.
double Sample16(AVSampleFormat format, const uint8_t* p)
{
    auto fromFloat = [](double v) { return std::isnan(v) ? 0.0 : std::clamp(v, -1.0, 1.0) * 32767.0; };
    switch (format) {
    case AV_SAMPLE_FMT_U8: return (int(p[0]) - 128) * 256.0;
    case AV_SAMPLE_FMT_S16: { int16_t v; std::memcpy(&v, p, 2); return v; }
    case AV_SAMPLE_FMT_S32: { int32_t v; std::memcpy(&v, p, 4); return v / 65536.0; }
    case AV_SAMPLE_FMT_S64: { int64_t v; std::memcpy(&v, p, 8); return double(v) / 281474976710656.0; }
    case AV_SAMPLE_FMT_FLT: { float v; std::memcpy(&v, p, 4); return fromFloat(v); }
    case AV_SAMPLE_FMT_DBL: { double v; std::memcpy(&v, p, 8); return fromFloat(v); }
    default: return 0.0;
    }
}

bool KnownSampleFormat(AVSampleFormat format)
{
    switch (Av().av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8: case AV_SAMPLE_FMT_S16: case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S64: case AV_SAMPLE_FMT_FLT: case AV_SAMPLE_FMT_DBL:
        return true;
    default:
        return false;
    }
}

struct StereoWeights {
    double left, right;
};

// Where a channel goes in a stereo mix-down: front channels to their side,
// side and rear channels to theirs at -3 dB, centres to both at -3 dB, the
// low-frequency channel nowhere (the other channels carry the mix).
StereoWeights Weights(AVChannel channel)
{
    constexpr double k = 0.70710678118654752;
    switch (channel) {
    case AV_CHAN_FRONT_LEFT: case AV_CHAN_FRONT_LEFT_OF_CENTER: case AV_CHAN_STEREO_LEFT: case AV_CHAN_WIDE_LEFT:
        return {1.0, 0.0};
    case AV_CHAN_FRONT_RIGHT: case AV_CHAN_FRONT_RIGHT_OF_CENTER: case AV_CHAN_STEREO_RIGHT: case AV_CHAN_WIDE_RIGHT:
        return {0.0, 1.0};
    case AV_CHAN_BACK_LEFT: case AV_CHAN_SIDE_LEFT: case AV_CHAN_SURROUND_DIRECT_LEFT: case AV_CHAN_TOP_FRONT_LEFT:
    case AV_CHAN_TOP_BACK_LEFT: case AV_CHAN_TOP_SIDE_LEFT: case AV_CHAN_BOTTOM_FRONT_LEFT:
        return {k, 0.0};
    case AV_CHAN_BACK_RIGHT: case AV_CHAN_SIDE_RIGHT: case AV_CHAN_SURROUND_DIRECT_RIGHT: case AV_CHAN_TOP_FRONT_RIGHT:
    case AV_CHAN_TOP_BACK_RIGHT: case AV_CHAN_TOP_SIDE_RIGHT: case AV_CHAN_BOTTOM_FRONT_RIGHT:
        return {0.0, k};
    case AV_CHAN_LOW_FREQUENCY: case AV_CHAN_LOW_FREQUENCY_2:
        return {0.0, 0.0};
    default:
        return {k, k};
    }
}

// Codecs movies for the game come in. Others (H.264, HEVC and the like) are
// refused before their decoders set aside memory for huge pictures.
bool MovieCodec(AVCodecID id)
{
    switch (id) {
    case AV_CODEC_ID_MPEG1VIDEO: case AV_CODEC_ID_MPEG2VIDEO: case AV_CODEC_ID_MPEG4: case AV_CODEC_ID_MJPEG:
    case AV_CODEC_ID_THEORA:
    case AV_CODEC_ID_MP1: case AV_CODEC_ID_MP2: case AV_CODEC_ID_MP3: case AV_CODEC_ID_AC3: case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_VORBIS: case AV_CODEC_ID_PCM_U8: case AV_CODEC_ID_PCM_S16LE: case AV_CODEC_ID_PCM_S16BE:
    case AV_CODEC_ID_PCM_S24LE: case AV_CODEC_ID_PCM_S32LE: case AV_CODEC_ID_PCM_F32LE: case AV_CODEC_ID_PCM_F64LE:
    case AV_CODEC_ID_ADPCM_MS: case AV_CODEC_ID_ADPCM_IMA_WAV:
        return true;
    default:
        return false;
    }
}

AVCodecContext* OpenCodec(const AVStream* stream)
{
    if (!MovieCodec(stream->codecpar->codec_id)) return nullptr;
    const AVCodec* codec = Av().avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return nullptr;
    AVCodecContext* context = Av().avcodec_alloc_context3(codec);
    if (!context) return nullptr;
    // One thread: frames come out as soon as they are decoded.
    context->thread_count = 1;
    context->max_pixels = int64_t(kMaxPixels);
    if (Av().avcodec_parameters_to_context(context, stream->codecpar) < 0 || Av().avcodec_open2(context, codec, nullptr) < 0)
        Av().avcodec_free_context(&context);
    return context;
}

}  // namespace

std::unique_ptr<ByteSource> FileSource(std::unique_ptr<host::kernel::File> file)
{
    return std::make_unique<FileByteSource>(std::move(file));
}

std::unique_ptr<ByteSource> MemorySource(std::vector<uint8_t> bytes)
{
    return std::make_unique<MemoryByteSource>(std::move(bytes));
}

// ---------------------------------------------------------------- demuxer

Demuxer::~Demuxer()
{
    if (!Av().loaded) return;   // nothing was made
    Av().avformat_close_input(&format_);
    if (io_) Av().av_freep(&io_->buffer);
    Av().avio_context_free(&io_);
}

Result Demuxer::Open(ByteSource& source)
{
    if (!Av().loaded) return Result::Failed;
    QuietLogs();
    if (!source.Seek(0)) return Result::Failed;
    auto* buffer = static_cast<uint8_t*>(Av().av_malloc(kIoBytes));
    if (!buffer) return Result::Failed;
    io_ = Av().avio_alloc_context(buffer, kIoBytes, 0, &source, ReadBytes, nullptr, SeekBytes);
    if (!io_) {
        Av().av_free(buffer);
        return Result::Failed;
    }
    format_ = Av().avformat_alloc_context();
    if (!format_) return Result::Failed;
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    format_->io_open = RefuseOpen;
    format_->format_whitelist = Av().av_strdup(kFormats);
    // Frees the context and nulls it on failure.
    if (Av().avformat_open_input(&format_, nullptr, nullptr, nullptr) < 0) return Result::BadData;
    if (Av().avformat_find_stream_info(format_, nullptr) < 0) return Result::BadData;
    return Result::Ok;
}

int64_t Demuxer::StartIn(int stream) const
{
    if (format_->start_time == AV_NOPTS_VALUE) return 0;
    return Av().av_rescale_q(format_->start_time, AVRational{1, AV_TIME_BASE}, format_->streams[stream]->time_base);
}

uint64_t MeasureStopMs(ByteSource& source)
{
    Demuxer demuxer;
    if (demuxer.Open(source) != Result::Ok) return 0;
    AVFormatContext* format = demuxer.Context();
    const int video = Av().av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int sound = Av().av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (int(i) != video && int(i) != sound) format->streams[i]->discard = AVDISCARD_ALL;
    // A picture stream's packets may carry only decoding times, which run
    // behind the showing times by the pictures the decoder holds back.
    const int64_t delay = video >= 0 ? std::clamp(format->streams[video]->codecpar->video_delay, 0, 16) : 0;
    int64_t stopMs = 0;
    AVPacket* packet = Av().av_packet_alloc();
    while (packet && Av().av_read_frame(format, packet) >= 0) {
        const int s = packet->stream_index;
        const int64_t duration = std::clamp<int64_t>(packet->duration, 0, INT32_MAX);
        int64_t shown = packet->pts, decoded = packet->dts, ms = 0;
        if (s == video && decoded != AV_NOPTS_VALUE && __builtin_add_overflow(decoded, delay * duration, &decoded))
            decoded = AV_NOPTS_VALUE;
        const int64_t end = std::max(shown, decoded);
        if ((s == video || s == sound) && end != AV_NOPTS_VALUE && end <= INT64_MAX - duration &&
            ToMs(end + duration, demuxer.StartIn(s), format->streams[s]->time_base, ms))
            stopMs = std::max(stopMs, ms);
        Av().av_packet_unref(packet);
    }
    Av().av_packet_free(&packet);
    return uint64_t(std::min(stopMs, kMaxStopMs));
}

// ---------------------------------------------------------------- decoder

Decoder::~Decoder()
{
    if (!Av().loaded) return;   // nothing was made
    for (AVPacket* p : videoPackets_) Av().av_packet_free(&p);
    Av().av_frame_free(&shown_);
    Av().av_frame_free(&next_);
    Av().av_frame_free(&soundFrame_);
    Av().avcodec_free_context(&video_);
    Av().avcodec_free_context(&sound_);
    Av().sws_freeContext(scaler_);
}

Result Decoder::Open(ByteSource& source, bool withSound, std::unique_ptr<Decoder>& out)
{
    out.reset();
    std::unique_ptr<Decoder> decoder(new Decoder());
    if (Result r = decoder->Start(source, withSound); r != Result::Ok) return r;
    out = std::move(decoder);
    return Result::Ok;
}

Result Decoder::Start(ByteSource& source, bool withSound)
{
    if (Result r = demuxer_.Open(source); r != Result::Ok) return r;
    AVFormatContext* format = demuxer_.Context();
    videoStream_ = Av().av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoStream_ < 0) return Result::BadData;
    AVStream* stream = format->streams[videoStream_];
    const AVCodecParameters* par = stream->codecpar;
    if (par->width <= 0 || par->height <= 0) return Result::BadData;
    if (!MovieCodec(par->codec_id) || !SizeFits(uint32_t(par->width), uint32_t(par->height)))
        return Result::Unsupported;
    video_ = OpenCodec(stream);
    if (!video_) return Result::BadData;
    info_.width = uint32_t(par->width);
    info_.height = uint32_t(par->height);
    const AVRational rate = Av().av_guess_frame_rate(format, stream, nullptr);
    if (rate.num > 0 && rate.den > 0)
        frameIntervalMs_ = std::clamp<int64_t>(Av().av_rescale(1000, rate.den, rate.num), 1, 1000);

    if (withSound) {
        const int s = Av().av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, videoStream_, nullptr, 0);
        if (s >= 0) OpenSound(s);
    }
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (int(i) != videoStream_ && int(i) != soundStream_) format->streams[i]->discard = AVDISCARD_ALL;

    // Rows padded for the scaler's wide stores.
    stride_ = (size_t(info_.width) * kBytesPerPixel + 63) & ~size_t(63);
    picture_.assign(stride_ * info_.height + 64, 0);
    shown_ = Av().av_frame_alloc();
    next_ = Av().av_frame_alloc();
    if (!shown_ || !next_) return Result::Failed;
    // The first whole picture shows from the start.
    for (int damaged = 0;; ++damaged) {
        if (damaged > kMaxDamagedOpening || !DecodeNextPicture()) return Result::BadData;
        if (!(next_->flags & AV_FRAME_FLAG_CORRUPT) && next_->decode_error_flags == 0) break;
    }
    std::swap(shown_, next_);
    hasNext_ = DecodeNextPicture();
    return Result::Ok;
}

bool Decoder::OpenSound(int stream)
{
    sound_ = OpenCodec(demuxer_.Context()->streams[stream]);
    soundFrame_ = Av().av_frame_alloc();
    if (!sound_) return false;
    const int channels = sound_->ch_layout.nb_channels;
    const int rate = sound_->sample_rate;
    if (!soundFrame_ || channels < 1 || channels > 64 || rate < int(host::sound::kFrequencyMin) ||
        rate > int(host::sound::kFrequencyMax)) {
        Av().avcodec_free_context(&sound_);
        return false;
    }
    soundStream_ = stream;
    info_.soundRate = uint32_t(rate);
    info_.soundChannels = uint16_t(std::min(channels, 2));
    return true;
}

int64_t Decoder::FrameMs(const AVFrame* frame)
{
    int64_t ms = 0;
    if (!ToMs(frame->best_effort_timestamp, demuxer_.StartIn(videoStream_),
              demuxer_.Context()->streams[videoStream_]->time_base, ms))
        ms = lastMs_ + frameIntervalMs_;
    return ms;
}

bool Decoder::ReadPacket()
{
    if (inputEnded_) return false;
    AVPacket* packet = Av().av_packet_alloc();
    if (!packet || Av().av_read_frame(demuxer_.Context(), packet) < 0) {
        Av().av_packet_free(&packet);
        inputEnded_ = true;
        if (sound_) DecodeSound(nullptr);
        return false;
    }
    if (packet->stream_index == videoStream_) {
        videoQueued_ += size_t(packet->size);
        videoPackets_.push_back(packet);
        return true;
    }
    if (packet->stream_index == soundStream_) DecodeSound(packet);
    Av().av_packet_free(&packet);
    return true;
}

bool Decoder::DecodeNextPicture()
{
    for (;;) {
        const int r = Av().avcodec_receive_frame(video_, next_);
        if (r == 0) {
            if (next_->width <= 0 || next_->height <= 0 || !SizeFits(uint32_t(next_->width), uint32_t(next_->height)))
                continue;
            nextMs_ = lastMs_ = FrameMs(next_);
            return true;
        }
        // The end, or a decoder that cannot go on.
        if (r != AVERROR(EAGAIN)) return false;
        while (videoPackets_.empty() && ReadPacket()) {
        }
        if (videoPackets_.empty()) {
            if (videoFlushed_) return false;
            // Out of packets: the decoder gives up the pictures it holds.
            videoFlushed_ = true;
            Av().avcodec_send_packet(video_, nullptr);
            continue;
        }
        AVPacket* packet = videoPackets_.front();
        videoPackets_.pop_front();
        videoQueued_ -= size_t(packet->size);
        // A damaged packet is dropped; the decoder hides what it lost.
        Av().avcodec_send_packet(video_, packet);
        Av().av_packet_free(&packet);
    }
}

void Decoder::AdvanceTo(uint64_t ms)
{
    while (hasNext_ && nextMs_ <= int64_t(std::min<uint64_t>(ms, kMaxStopMs))) {
        std::swap(shown_, next_);
        pictureStale_ = true;
        hasNext_ = DecodeNextPicture();
    }
}

const uint8_t* Decoder::Picture()
{
    if (pictureStale_) {
        pictureStale_ = false;
        scaler_ = Av().sws_getCachedContext(scaler_, shown_->width, shown_->height, AVPixelFormat(shown_->format),
                                       int(info_.width), int(info_.height), AV_PIX_FMT_BGR24, SWS_BILINEAR,
                                       nullptr, nullptr, nullptr);
        // A picture the scaler cannot take leaves the last one.
        if (scaler_) {
            uint8_t* planes[4] = {picture_.data(), nullptr, nullptr, nullptr};
            const int strides[4] = {int(stride_), 0, 0, 0};
            Av().sws_scale(scaler_, shown_->data, shown_->linesize, 0, shown_->height, planes, strides);
        }
    }
    return picture_.data();
}

// ---------------------------------------------------------------- sound

void Decoder::DecodeSound(const AVPacket* packet)
{
    // A damaged packet is dropped; null drains the decoder.
    if (Av().avcodec_send_packet(sound_, packet) < 0 && packet) return;
    while (Av().avcodec_receive_frame(sound_, soundFrame_) == 0) TakeSoundFrame();
}

void Decoder::TakeSoundFrame()
{
    const AVFrame* f = soundFrame_;
    const AVSampleFormat format = AVSampleFormat(f->format);
    const int channels = f->ch_layout.nb_channels;
    const size_t out = info_.soundChannels;
    // Frames that change the rate or the layout midway are dropped.
    if (f->sample_rate != int(info_.soundRate) || channels < 1 || size_t(std::min(channels, 2)) != out ||
        f->nb_samples <= 0 || !KnownSampleFormat(format))
        return;
    if (!soundStarted_) {
        soundStarted_ = true;
        int64_t ms = 0;
        if (ToMs(f->best_effort_timestamp, demuxer_.StartIn(soundStream_),
                 demuxer_.Context()->streams[soundStream_]->time_base, ms) &&
            ms > 0 && ms <= kMaxLeadInMs)
            pcm_.resize(pcm_.size() + size_t(ms) * info_.soundRate / 1000 * out, 0);
    }
    const size_t samples = size_t(f->nb_samples);
    if (pcm_.size() - pcmRead_ + samples * out > kMaxSoundSeconds * info_.soundRate * out) return;

    AppendSound(format, f->ch_layout, f->extended_data, samples, pcm_);
}

bool AppendSound(int format, const AVChannelLayout& layout, const uint8_t* const* data, size_t samples,
                 std::vector<int16_t>& pcm)
{
    if (!Av().loaded) return false;
    const auto sampleFormat = AVSampleFormat(format);
    const int channels = layout.nb_channels;
    if (!KnownSampleFormat(sampleFormat) || channels < 1 || channels > 64 || !data) return false;
    const size_t out = size_t(std::min(channels, 2));
    // Mono and stereo pass through; more is mixed down, louder side at full scale.
    StereoWeights weights[64];
    double scale = 1.0;
    if (channels > 2) {
        AVChannelLayout fallback{};
        Av().av_channel_layout_default(&fallback, channels);
        double left = 0.0, right = 0.0;
        for (int c = 0; c < channels; ++c) {
            AVChannel id = Av().av_channel_layout_channel_from_index(&layout, unsigned(c));
            if (id == AV_CHAN_NONE || id == AV_CHAN_UNKNOWN || id == AV_CHAN_UNUSED)
                id = Av().av_channel_layout_channel_from_index(&fallback, unsigned(c));
            weights[c] = Weights(id);
            left += weights[c].left;
            right += weights[c].right;
        }
        Av().av_channel_layout_uninit(&fallback);
        scale = 1.0 / std::max({left, right, 1.0});
    }
    const bool planar = Av().av_sample_fmt_is_planar(sampleFormat);
    const AVSampleFormat packed = Av().av_get_packed_sample_fmt(sampleFormat);
    const size_t bytes = size_t(Av().av_get_bytes_per_sample(sampleFormat));
    auto sample = [&](size_t i, int c) {
        return Sample16(packed, planar ? data[c] + i * bytes : data[0] + (i * size_t(channels) + size_t(c)) * bytes);
    };
    auto to16 = [](double v) { return int16_t(std::clamp<long>(std::lrint(v), -32768, 32767)); };
    pcm.reserve(pcm.size() + samples * out);
    for (size_t i = 0; i < samples; ++i) {
        if (channels <= 2) {
            for (int c = 0; c < channels; ++c) pcm.push_back(to16(sample(i, c)));
            continue;
        }
        double left = 0.0, right = 0.0;
        for (int c = 0; c < channels; ++c) {
            const double v = sample(i, c);
            left += v * weights[c].left;
            right += v * weights[c].right;
        }
        pcm.push_back(to16(left * scale));
        pcm.push_back(to16(right * scale));
    }
    return true;
}

size_t Decoder::ReadSound(int16_t* out, size_t frames)
{
    if (!sound_) return 0;
    const size_t channels = info_.soundChannels;
    while ((pcm_.size() - pcmRead_) / channels < frames && videoQueued_ < kMaxQueuedBytes && ReadPacket()) {
    }
    const size_t n = std::min(frames, (pcm_.size() - pcmRead_) / channels);
    if (out && n > 0) std::memcpy(out, pcm_.data() + pcmRead_, n * channels * sizeof(int16_t));
    pcmRead_ += n * channels;
    if (pcmRead_ >= 65536 && pcmRead_ * 2 >= pcm_.size()) {
        pcm_.erase(pcm_.begin(), pcm_.begin() + std::ptrdiff_t(pcmRead_));
        pcmRead_ = 0;
    }
    return n;
}

}  // namespace host::movie::ffmpeg
