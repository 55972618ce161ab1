// Movies made by the ffmpeg program for the tests, once per test program, in
// a folder of their own that goes when the program ends.
//
// "counter.mpg": MPEG-1 video of 64 x 48 pixels, 25 frames a second for one
// second, with MPEG-1 layer II sound. Frame n is red 10 n everywhere, green
// 200 in its top half and 40 in its bottom half, blue 50 in its left half
// and 220 in its right half, so frames tell their number and which way up
// they are. The sound (44.1 kHz, mono) is silent for half a second, then a
// 1 kHz tone at half scale.
// "counter.avi": the same in AVI, as MPEG-4 part 2 video and PCM sound.
// "counter.ogv": the same in Ogg, as Theora video and Vorbis sound.
// "silent.mpg": the same pictures without sound.
// "sound-only.mpg": the same sound without pictures.
#pragma once

#include "host/kernel/Kernel.h"

#include <cstdint>
#include <cstdlib>
#include <ftw.h>
#include <string>

namespace movie_test {

constexpr uint32_t kWidth = 64;
constexpr uint32_t kHeight = 48;
constexpr uint32_t kFrames = 25;
constexpr uint32_t kFrameMs = 40;
constexpr uint32_t kSoundRate = 44100;
constexpr uint32_t kToneHz = 1000;

class Media {
public:
    // The folder ends with '/'; empty when the movies could not be made.
    const std::string& Folder() const { return folder_; }
    std::string operator/(const std::string& name) const { return folder_ + name; }
    bool Ok() const { return !folder_.empty(); }
    bool HaveFfmpeg() const { return haveFfmpeg_; }

    static const Media& Get()
    {
        static Media media;
        return media;
    }

    static bool Ffmpeg(const std::string& arguments, const std::string& out)
    {
        const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments + " '" + out + "'";
        return std::system(command.c_str()) == 0;
    }

private:
    Media()
    {
        haveFfmpeg_ = std::system("ffmpeg -version > /dev/null 2>&1") == 0;
        if (!haveFfmpeg_) return;
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/orv-movie-XXXXXX";
        if (!mkdtemp(pattern.data())) return;
        made_ = pattern;
        const std::string pictures =
            "-f lavfi -i \"nullsrc=s=64x48:r=25,format=rgb24,"
            "geq=r='N*10':g='if(lt(Y,24),200,40)':b='if(lt(X,32),50,220)'\" ";
        const std::string sound = "-f lavfi -i \"aevalsrc='0.5*sin(2*PI*1000*t)*gte(t,0.5)':s=44100\" ";
        const std::string video = "-c:v mpeg1video -q:v 1 ";
        const std::string audio = "-c:a mp2 -b:a 192k ";
        const std::string folder = pattern + "/";
        if (Ffmpeg(pictures + sound + "-t 1 " + video + audio, folder + "counter.mpg") &&
            Ffmpeg(pictures + sound + "-t 1 -c:v mpeg4 -q:v 1 -c:a pcm_s16le ", folder + "counter.avi") &&
            Ffmpeg(pictures + sound + "-t 1 -c:v libtheora -q:v 10 -c:a libvorbis -q:a 6 ", folder + "counter.ogv") &&
            Ffmpeg(pictures + "-t 1 " + video, folder + "silent.mpg") &&
            Ffmpeg(sound + "-t 1 " + audio + "-f mpeg", folder + "sound-only.mpg"))
            folder_ = folder;
    }
    ~Media()
    {
        if (!made_.empty())
            nftw(made_.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
                 FTW_DEPTH | FTW_PHYS);
    }

    bool haveFfmpeg_ = false;
    std::string made_;
    std::string folder_;
};

// The pixel (blue, green, red) at (x, y), y from the top of the picture, of
// a bottom-up frame.
inline const uint8_t* PixelAt(const uint8_t* frame, uint32_t x, uint32_t y, uint32_t width = kWidth,
                              uint32_t height = kHeight)
{
    return frame + (size_t(height - 1 - y) * width + x) * 3;
}

}  // namespace movie_test

// Skips a test without the ffmpeg program; fails it when ffmpeg fails.
#define MOVIE_MEDIA_OR_SKIP()                                                               \
    do {                                                                                    \
        if (!::movie_test::Media::Get().HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is missing";  \
        ASSERT_TRUE(::movie_test::Media::Get().Ok()) << "ffmpeg could not make the movies"; \
    } while (0)
