// FFmpeg under the movie service: a movie's bytes demuxed, its pictures
// decoded and turned into blue-green-red pixels, its sound decoded into
// 16-bit PCM. Reads go through a ByteSource (a kernel file or memory), so
// FFmpeg opens nothing by itself: no other file, no network.
#pragma once

#include "host/kernel/Kernel.h"
#include "host/movie/Movie.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

struct AVChannelLayout;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwsContext;

namespace host::movie::ffmpeg {

// Seekable bytes. Sources are read by one decoder at a time.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Bytes read, 0 at the end.
    virtual size_t Read(uint8_t* buffer, size_t bytes) = 0;
    virtual bool Seek(int64_t offset) = 0;
    virtual int64_t Tell() const = 0;
    virtual int64_t Size() const = 0;
};
std::unique_ptr<ByteSource> FileSource(std::unique_ptr<host::kernel::File> file);
std::unique_ptr<ByteSource> MemorySource(std::vector<uint8_t> bytes);

// The container opened on a source, with nothing but our reads allowed.
class Demuxer {
public:
    Demuxer() = default;
    ~Demuxer();
    Demuxer(const Demuxer&) = delete;
    Demuxer& operator=(const Demuxer&) = delete;

    // Reads the header and probes the streams from the source's start.
    Result Open(ByteSource& source);
    AVFormatContext* Context() const { return format_; }
    // The movie's start in a stream's time base (the container's start time).
    int64_t StartIn(int stream) const;

private:
    AVIOContext* io_ = nullptr;
    AVFormatContext* format_ = nullptr;
};

struct StreamInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t soundRate = 0;       // 0: no sound decoded
    uint16_t soundChannels = 0;   // 1 or 2
};

// Appends `samples` frames of decoded sound to pcm as interleaved 16-bit
// frames of min(channels, 2) channels. `format` is an FFmpeg sample format,
// packed (all in data[0]) or planar (a plane a channel). Sound of more than
// two channels is mixed down to stereo by where each channel stands. False,
// appending nothing, for a format or layout this does not take.
bool AppendSound(int format, const AVChannelLayout& layout, const uint8_t* const* data, size_t samples,
                 std::vector<int16_t>& pcm);

// Milliseconds from the start to the end of the last packet of the movie's
// picture and sound streams, read through the whole source; 0 when nothing
// could be read.
uint64_t MeasureStopMs(ByteSource& source);

class Decoder {
public:
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Opens the movie from the source's start and decodes its first picture;
    // BadData when it has no picture stream or no picture decodes.
    static Result Open(ByteSource& source, bool withSound, std::unique_ptr<Decoder>& out);
    const StreamInfo& Info() const { return info_; }

    // Makes the last picture due at ms (from the start) the one shown; the
    // first one shows from 0.
    void AdvanceTo(uint64_t ms);
    // The shown picture: width x 3 bytes a row, top row first.
    const uint8_t* Picture();
    size_t PictureStride() const { return stride_; }

    // Up to frames interleaved sound frames into out (dropped for null);
    // fewer once the sound has ended.
    size_t ReadSound(int16_t* out, size_t frames);

private:
    Decoder() = default;
    Result Start(ByteSource& source, bool withSound);
    bool OpenSound(int stream);
    bool ReadPacket();
    bool DecodeNextPicture();
    void DecodeSound(const AVPacket* packet);
    void TakeSoundFrame();
    int64_t FrameMs(const AVFrame* frame);

    Demuxer demuxer_;
    StreamInfo info_;
    int videoStream_ = -1;
    int soundStream_ = -1;
    AVCodecContext* video_ = nullptr;
    AVCodecContext* sound_ = nullptr;
    AVFrame* shown_ = nullptr;
    AVFrame* next_ = nullptr;
    AVFrame* soundFrame_ = nullptr;
    bool hasNext_ = false;
    int64_t nextMs_ = 0;
    int64_t lastMs_ = 0;
    int64_t frameIntervalMs_ = 40;
    bool inputEnded_ = false;
    bool videoFlushed_ = false;
    std::deque<AVPacket*> videoPackets_;
    size_t videoQueued_ = 0;      // bytes in videoPackets_
    std::vector<int16_t> pcm_;    // decoded sound not yet read, from pcmRead_
    size_t pcmRead_ = 0;
    bool soundStarted_ = false;
    SwsContext* scaler_ = nullptr;
    std::vector<uint8_t> picture_;
    size_t stride_ = 0;
    bool pictureStale_ = true;
};

}  // namespace host::movie::ffmpeg
