// Ogg Vorbis sources: chained files, damaged files played in a loop, and
// lengths the data does not back. A setup header libvorbis cannot decode
// with is the fuzz regressions' (it crashes their replays if let through).
#include "engine/platform/OggReader.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/tests/SoundTestSupport.h"

#include <ogg/ogg.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>

namespace ORV_TEST_FILE_ID {

using namespace sound_test;

namespace {

std::vector<i16> Concat(std::initializer_list<std::vector<i16>> parts)
{
    std::vector<i16> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Recomputes the checksum of the page at `at` after an edit.
void Reseal(Bytes& ogg, size_t at)
{
    ogg_page page;
    page.header = ogg.data() + at;
    page.header_len = 27 + ogg[at + 26];
    page.body = page.header + page.header_len;
    page.body_len = 0;
    for (int i = 0; i < ogg[at + 26]; ++i) page.body_len += ogg[at + 27 + i];
    ogg_page_checksum_set(&page);
}

// Damage a player's files really have: a page cut out a quarter of the way
// in, one with a flipped byte half-way (its checksum no longer matches), and
// the last page cut short.
Bytes Damage(const Bytes& ogg)
{
    const std::vector<size_t> pages = OggPages(ogg);
    EXPECT_GT(pages.size(), 40u);
    const size_t lost = pages.size() / 4, flipped = pages.size() / 2;
    Bytes out(ogg.begin(), ogg.begin() + pages[lost]);
    out.insert(out.end(), ogg.begin() + pages[lost + 1], ogg.end() - (ogg.size() - pages.back()) / 2);
    out[pages[flipped] - (pages[lost + 1] - pages[lost]) + 40] ^= 0xFF;
    return out;
}

// Fills `count` buffers of `bytes` from the stream: everything it played.
std::vector<i16> Play(OggStream* stream, f32 loopStart, u32 count, u32 bytes)
{
    std::vector<i16> out(size_t(count) * bytes / 2);
    for (u32 i = 0; i < count; ++i) {
        u32 filled = 0;
        EXPECT_EQ(OggFill(reinterpret_cast<u8*>(out.data()) + size_t(i) * bytes, bytes, loopStart, stream, &filled),
                  OggFillResult::Full)
            << i;
        EXPECT_EQ(filled, bytes);
    }
    return out;
}

// What a stream looping from frame `loop` plays at frame t.
i16 Looped(const std::vector<i16>& data, u32 loop, u32 t)
{
    const u32 n = u32(data.size());
    return data[t < n ? t : loop + (t - n) % (n - loop)];
}

class OggReader : public SoundFixture {};

TEST_F(OggReader, ChainedFilePlaysEveryLinkFromTheFirst)
{
    // Three links: opened, libvorbisfile stands at the second.
    const Bytes links[] = {EncodeOgg(Ramp(22050), 1, kRate, false, 1), EncodeOgg(Ramp(13230, 3000), 1, kRate, false, 2),
                           EncodeOgg(Ramp(8820, -4000), 1, kRate, false, 3)};
    const std::vector<i16> whole = Concat({DecodeOgg(links[0]), DecodeOgg(links[1]), DecodeOgg(links[2])});
    Bytes chain;
    for (const Bytes& l : links) chain.insert(chain.end(), l.begin(), l.end());

    CSoundBuffer decoded;
    ASSERT_EQ(decoded.LoadFromMemory(chain.data(), "chain.ogg", u32(chain.size()), 1, kStatic), 1u);
    ASSERT_EQ(decoded.GetDataSize(), whole.size() * 2);
    EXPECT_EQ(DecodeOgg(chain), whole);

    // Streamed from a file, once and then looping from the start: the
    // rewind finds the first link again.
    const std::string path = temp_ / "chain.ogg";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, chain.data(), chain.size()));
    CSoundBuffer streamed;
    ASSERT_EQ(streamed.Load(path.c_str(), 1, 0), 1u);
    EXPECT_FLOAT_EQ(streamed.GetLength(), f32(whole.size()) / kRate);
    ASSERT_EQ(streamed.Play(1, 0.0f, 1), 0u);
    u32 t = 0;
    MixExpecting(t, 150, 735, [&](u32 t) { return whole[t % whole.size()]; }, [&] { streamed.Update(); });
}

TEST_F(OggReader, ChainWhoseLinksDifferInFormatIsRefused)
{
    const Bytes first = EncodeOgg(Ramp(8820), 1, kRate, false, 1);
    const Bytes others[] = {EncodeOgg(Ramp(8820), 1, 22050, false, 2), EncodeOgg(Ramp(17640), 2, kRate, false, 2)};
    for (const Bytes& other : others) {
        Bytes chain = first;
        chain.insert(chain.end(), other.begin(), other.end());
        const std::string path = temp_ / "mixed.ogg";
        ASSERT_TRUE(host::kernel::WriteFileAtomic(path, chain.data(), chain.size()));
        for (u32 flags : {kStatic, 0u}) {
            CSoundBuffer b;
            EXPECT_EQ(b.LoadFromMemory(chain.data(), "mixed.ogg", u32(chain.size()), 1, flags), 0u) << flags;
            EXPECT_EQ(b.Load(path.c_str(), 1, flags), 0u) << flags;
        }
        std::unique_ptr<CMemStream> bytes(CreateMemStream(chain.data(), u32(chain.size())));
        EXPECT_EQ(OpenOggMemoryStream(bytes.get()), nullptr);
    }
}

TEST_F(OggReader, IntactStreamLoopsBySeekingOnceDecodedWhole)
{
    const Bytes ogg = EncodeOgg(Ramp(30870), 1, kRate);   // 0.7 s
    const std::vector<i16> reference = DecodeOgg(ogg);
    OggStream* stream = OpenOggMemoryStream(CreateMemStream(ogg.data(), u32(ogg.size())));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(IsOggSeekable(stream), 0u);   // not known to be whole yet
    const std::vector<i16> out = Play(stream, 0.25f, 20, 8820);   // 2 s
    for (u32 t = 0; t < out.size(); ++t) ASSERT_EQ(out[t], Looped(reference, 11025, t)) << t;
    EXPECT_EQ(IsOggDamaged(stream), 0u);
    EXPECT_EQ(IsOggSeekable(stream), 1u);
    EXPECT_EQ(GetOggSeekCount(stream), 3u);   // one seek a loop
    CloseOggStream(stream);
}

TEST_F(OggReader, DamagedStreamLoopsByDecodingForwardNeverBySeeking)
{
    // A seek in a damaged stream can make libogg overflow the heap; here a
    // loop also starts after a hole, which a seek would place differently.
    const Bytes ogg = Damage(EncodeOgg(Ramp(kRate * 3 / 2), 1, kRate, true));
    const std::vector<i16> reference = DecodeOgg(ogg);
    ASSERT_LT(reference.size(), kRate * 3 / 2);
    const u32 loop = kRate / 2;

    OggStream* stream = OpenOggMemoryStream(CreateMemStream(ogg.data(), u32(ogg.size())));
    ASSERT_NE(stream, nullptr);
    const std::vector<i16> out = Play(stream, 0.5f, 50, 8820);   // 5 s: four loops
    for (u32 t = 0; t < out.size(); ++t) ASSERT_EQ(out[t], Looped(reference, loop, t)) << t;
    EXPECT_EQ(IsOggDamaged(stream), 1u);
    EXPECT_EQ(IsOggSeekable(stream), 0u);
    EXPECT_EQ(GetOggSeekCount(stream), 0u);
    // A rewind opens the stream again too.
    ASSERT_EQ(OggRewind(stream), 1u);
    EXPECT_EQ(Play(stream, 0.5f, 1, 8820), std::vector<i16>(reference.begin(), reference.begin() + 4410));
    EXPECT_EQ(GetOggSeekCount(stream), 0u);
    CloseOggStream(stream);

    // The same music played from its file by a looping voice.
    const std::string path = temp_ / "damaged.ogg";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, ogg.data(), ogg.size()));
    CSoundBuffer music;
    ASSERT_EQ(music.Load(path.c_str(), 1, 0), 1u);
    ASSERT_EQ(music.Play(1, 0.5f, 1), 0u);
    u32 t = 0;
    MixExpecting(t, 300, 735, [&](u32 t) { return Looped(reference, loop, t); }, [&] { music.Update(); });
    ASSERT_EQ(music.StopVoiceAt(0, 1), 1);
    ASSERT_EQ(music.Play(1, 0.5f, 1), 0u);
    t = 0;
    MixExpecting(t, 60, 735, [&](u32 t) { return reference[t]; }, [&] { music.Update(); });
}

// Runs body in a child process whose address space may grow by no more than
// `room` bytes: true when body returned true there.
bool WithAddressSpaceRoom(u64 room, const std::function<bool()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        u64 pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const u64 limit = pages * u64(sysconf(_SC_PAGESIZE)) + room;
        const rlimit r{limit, limit};
        _exit(setrlimit(RLIMIT_AS, &r) == 0 && body() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(OggReader, StatedLengthNeverSizesTheBlock)
{
    // The last page claims 1.9 billion frames (3.8 GB of PCM); the data
    // holds one second, on pages of their own (a first page's position
    // counts from its own data).
    Bytes ogg = EncodeOgg(Ramp(kRate), 1, kRate, true);
    const size_t last = OggPages(ogg).back();
    const u64 claim = 0x70000000;
    for (int i = 0; i < 8; ++i) ogg[last + 6 + i] = u8(claim >> (8 * i));
    Reseal(ogg, last);

    const bool loaded = WithAddressSpaceRoom(u64(1) << 30, [&] {
        CSoundBuffer b;
        return b.LoadFromMemory(ogg.data(), "claim.ogg", u32(ogg.size()), 1, kStatic) == 1 &&
               b.GetDataSize() >= kRate * 2 && b.GetDataSize() < kRate * 4;
    });
    EXPECT_TRUE(loaded);

    // A stream holds two seconds whatever the claim.
    CSoundBuffer streamed;
    ASSERT_EQ(streamed.LoadFromMemory(ogg.data(), "claim.ogg", u32(ogg.size()), 1, 0), 1u);
    EXPECT_EQ(streamed.GetDataSize(), u32(claim * 2));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
