// The movie libraries (and the ninety-odd they bring) are opened with the
// first movie: a program that plays none starts without them, a start every
// test pays for.
#include "host/movie/FfmpegDecoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace ORV_TEST_FILE_ID {

namespace {

bool Mapped(const std::string& library)
{
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find("/" + library) != std::string::npos;
}

TEST(LibrariesOnDemand, NoneIsLoadedAtTheStart)
{
    for (const char* library : {"libavformat.so", "libavcodec.so", "libswscale.so"})
        EXPECT_FALSE(Mapped(library)) << library;
}

TEST(LibrariesOnDemand, TheFirstMovieOpensTheMovieLibraries)
{
    ASSERT_FALSE(Mapped("libavformat.so"));
    auto source = host::movie::ffmpeg::MemorySource({'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'});
    EXPECT_EQ(host::movie::ffmpeg::MeasureStopMs(*source), 0u);
    EXPECT_TRUE(Mapped("libavformat.so"));
    EXPECT_TRUE(Mapped("libavcodec.so"));
    EXPECT_TRUE(Mapped("libswscale.so"));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
