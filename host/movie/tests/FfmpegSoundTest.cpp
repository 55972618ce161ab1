// The decoder's sound conversion for every sample format and channel count
// it takes, with a distinct value on each channel so a swap, a dropped or a
// misplaced channel shows; and the codecs and picture sizes a movie may have.
#include "host/movie/FfmpegDecoder.h"
#include "host/movie/tests/MovieMedia.h"

#include <gtest/gtest.h>

#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace ORV_TEST_FILE_ID {

namespace {

using namespace host::movie;
using movie_test::Media;

// Front left, front right, centre, low frequency, back left, back right, in
// 16-bit units; each fits 8 bits exactly.
constexpr int kValues[6] = {2048, -4096, 6144, 16384, -8192, 10240};
// Their stereo mix-down: the sides, the centre and the back at -3 dB, no low
// frequency, scaled so a side's weights add up to one.
constexpr int kMixLeft = 248, kMixRight = 3102;

// Sample i of channel c as bytes of a packed format: the channel's value
// plus 256 i.
void PutSample(AVSampleFormat packed, uint8_t* to, int c, size_t i)
{
    const int v = kValues[c] + 256 * int(i);
    switch (packed) {
    case AV_SAMPLE_FMT_U8: *to = uint8_t(v / 256 + 128); break;
    case AV_SAMPLE_FMT_S16: { const int16_t s = int16_t(v); std::memcpy(to, &s, 2); break; }
    case AV_SAMPLE_FMT_S32: { const int32_t s = v * 65536; std::memcpy(to, &s, 4); break; }
    case AV_SAMPLE_FMT_S64: { const int64_t s = int64_t(v) << 48; std::memcpy(to, &s, 8); break; }
    case AV_SAMPLE_FMT_FLT: { const float s = float(v / 32767.0); std::memcpy(to, &s, 4); break; }
    case AV_SAMPLE_FMT_DBL: { const double s = v / 32767.0; std::memcpy(to, &s, 8); break; }
    default: FAIL();
    }
}

TEST(MovieSoundConversion, EveryFormatAndLayoutComesOutAsSixteenBitMonoOrStereo)
{
    const AVSampleFormat formats[] = {AV_SAMPLE_FMT_U8,  AV_SAMPLE_FMT_S16,  AV_SAMPLE_FMT_S32,  AV_SAMPLE_FMT_S64,
                                      AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_DBL,  AV_SAMPLE_FMT_U8P,  AV_SAMPLE_FMT_S16P,
                                      AV_SAMPLE_FMT_S32P, AV_SAMPLE_FMT_S64P, AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_DBLP};
    const struct {
        int channels;
        std::vector<int> want;   // frame 0; frame i is 256 i more
    } layouts[] = {
        {1, {kValues[0]}},
        {2, {kValues[0], kValues[1]}},
        {6, {kMixLeft, kMixRight}},   // 5.1
    };
    constexpr size_t kSamples = 3;
    for (AVSampleFormat format : formats)
        for (const auto& l : layouts) {
            const int channels = l.channels;
            AVChannelLayout layout;
            av_channel_layout_default(&layout, channels);
            SCOPED_TRACE(::testing::Message() << av_get_sample_fmt_name(format) << ", " << channels << " channels");
            const AVSampleFormat packed = av_get_packed_sample_fmt(format);
            const size_t bytes = size_t(av_get_bytes_per_sample(format));
            const bool planar = av_sample_fmt_is_planar(format);
            std::vector<std::vector<uint8_t>> planes(planar ? size_t(channels) : 1,
                                                     std::vector<uint8_t>(kSamples * size_t(channels) * bytes));
            for (size_t i = 0; i < kSamples; ++i)
                for (int c = 0; c < channels; ++c) {
                    if (planar) PutSample(packed, planes[size_t(c)].data() + i * bytes, c, i);
                    else PutSample(packed, planes[0].data() + (i * size_t(channels) + size_t(c)) * bytes, c, i);
                }
            std::vector<const uint8_t*> data;
            for (const auto& p : planes) data.push_back(p.data());
            std::vector<int16_t> pcm = {7};   // appended to, not replaced
            ASSERT_TRUE(ffmpeg::AppendSound(format, layout, data.data(), kSamples, pcm));
            ASSERT_EQ(pcm.size(), 1 + kSamples * l.want.size());
            for (size_t i = 0; i < kSamples; ++i)
                for (size_t c = 0; c < l.want.size(); ++c)
                    EXPECT_NEAR(pcm[1 + i * l.want.size() + c], l.want[c] + 256 * int(i), 1) << "frame " << i << " channel " << c;
        }
}

TEST(MovieSoundConversion, FullScaleMixesWithoutWrappingAndOddFormatsAreRefused)
{
    // Every channel at full scale: the louder side reaches full scale, no more.
    const float loud[6] = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    const uint8_t* data[] = {reinterpret_cast<const uint8_t*>(loud)};
    AVChannelLayout layout;
    av_channel_layout_default(&layout, 6);
    std::vector<int16_t> pcm;
    ASSERT_TRUE(ffmpeg::AppendSound(AV_SAMPLE_FMT_FLT, layout, data, 1, pcm));
    EXPECT_EQ(pcm, (std::vector<int16_t>{32767, 32767}));
    pcm.clear();
    EXPECT_FALSE(ffmpeg::AppendSound(AV_SAMPLE_FMT_NONE, layout, data, 1, pcm));
    EXPECT_TRUE(pcm.empty());
}

class MovieFiles : public ::testing::Test {
protected:
    void SetUp() override { MOVIE_MEDIA_OR_SKIP(); }

    // A movie of `seconds` of 16 x 16 pictures with the six channel values as
    // sound in `layout`, encoded as `audio`.
    static std::string SoundMovie(const std::string& name, const std::string& layout, const std::string& audio)
    {
        std::string channels;
        for (int c = 0; c < 6; ++c) channels += (c ? "|" : "") + std::to_string(kValues[c] / 32768.0);
        if (layout == "mono") channels = std::to_string(kValues[0] / 32768.0);
        if (layout == "stereo") channels = std::to_string(kValues[0] / 32768.0) + "|" + std::to_string(kValues[1] / 32768.0);
        const std::string path = Media::Get() / name;
        EXPECT_TRUE(Media::Ffmpeg("-f lavfi -i nullsrc=s=16x16:r=25 -f lavfi -i \"aevalsrc='" + channels + "':c=" + layout +
                                      ":s=8000\" -t 0.2 -c:v mpeg1video -c:a " + audio + " ",
                                  path));
        return path;
    }
    static Result Open(const std::string& path, std::unique_ptr<ffmpeg::Decoder>& decoder)
    {
        std::unique_ptr<host::kernel::File> file = host::kernel::OpenFile(path, "rb");
        if (!file) return Result::NotFound;
        source_ = ffmpeg::FileSource(std::move(file));
        return ffmpeg::Decoder::Open(*source_, true, decoder);
    }
    static inline std::unique_ptr<ffmpeg::ByteSource> source_;
};

TEST_F(MovieFiles, SoundOfEachSampleFormatAndLayoutPlaysItsValues)
{
    const struct {
        const char* name;
        const char* layout;
        const char* audio;
        std::vector<int> want;
    } cases[] = {
        {"u8-5.1.avi", "5.1", "pcm_u8", {kMixLeft, kMixRight}},
        {"s16-stereo.avi", "stereo", "pcm_s16le", {kValues[0], kValues[1]}},
        {"f32-5.1.avi", "5.1", "pcm_f32le", {kMixLeft, kMixRight}},
        {"u8-mono.avi", "mono", "pcm_u8", {kValues[0]}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ffmpeg::Decoder> decoder;
        ASSERT_EQ(Open(SoundMovie(c.name, c.layout, c.audio), decoder), Result::Ok);
        ASSERT_EQ(decoder->Info().soundChannels, c.want.size());
        std::vector<int16_t> pcm(100 * c.want.size());
        ASSERT_EQ(decoder->ReadSound(pcm.data(), 100), 100u);
        for (size_t i = 0; i < pcm.size(); ++i) ASSERT_NEAR(pcm[i], c.want[i % c.want.size()], 2) << "sample " << i;
    }
}

// Pictures larger than a screen open (they were refused past 1920 x 1200,
// though 4K movies are made): a side up to 8192, 8192 x 4320 pixels in all.
TEST_F(MovieFiles, PicturesUpToTheirBoundOpenAndOthersAreRefused)
{
    const struct {
        const char* name;
        const char* video;
        const char* size;
        Result want;
    } cases[] = {
        {"wide.mpg", "mpeg1video", "2560x1440", Result::Ok},
        {"uhd.mpg", "mpeg2video", "3840x2160", Result::Ok},
        {"widest.ogv", "libtheora", "8192x16", Result::Ok},
        {"wider.ogv", "libtheora", "8193x16", Result::Unsupported},
        {"taller.ogv", "libtheora", "16x8193", Result::Unsupported},
        {"most.ogv", "libtheora", "8192x4320", Result::Ok},
        {"more.ogv", "libtheora", "8192x4336", Result::Unsupported},
        {"h264.mkv", "libx264", "64x48", Result::Unsupported},
        {"hevc.mkv", "libx265 -x265-params log-level=none", "64x48", Result::Unsupported},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Media::Get() / c.name;
        if (!Media::Ffmpeg(std::string("-f lavfi -i nullsrc=s=") + c.size + ":r=25 -frames:v 1 -c:v " + c.video + " ", path)) {
            ADD_FAILURE() << "ffmpeg could not make it";
            continue;
        }
        std::unique_ptr<ffmpeg::Decoder> decoder;
        EXPECT_EQ(Open(path, decoder), c.want);
        EXPECT_EQ(decoder != nullptr, c.want == Result::Ok);
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
