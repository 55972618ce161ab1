// Seeds of the sound readers: WAV files laid out chunk by chunk (the format
// has no writer in the system) and Ogg Vorbis from libvorbisenc through the
// sound tests' encoder.
#include "engine/platform/tests/SoundTestSupport.h"
#include "fuzz/seeds/Seeds.h"

namespace seeds {

namespace {

Bytes Chunk(const char* id, const Bytes& body)
{
    Bytes b(id, 4);
    Le32(b, u32(body.size()));
    b += body;
    if (body.size() % 2) b += '\0';
    return b;
}

Bytes Format(u16 tag, u16 channels, u32 rate, u16 bits, const Bytes* extra = nullptr)
{
    Bytes f;
    const u16 align = u16(channels * ((bits + 7) / 8));
    Le16(f, tag), Le16(f, channels), Le32(f, rate), Le32(f, rate * align), Le16(f, align), Le16(f, bits);
    if (extra) Le16(f, u32(extra->size())), f += *extra;
    return f;
}

Bytes Wave(const Bytes& chunks, u32 riffSize = 0)
{
    Bytes b("RIFF", 4);
    Le32(b, riffSize ? riffSize : u32(4 + chunks.size()));
    return b + "WAVE" + chunks;
}

Bytes Samples(u32 count, u32 bytesPerSample)
{
    Bytes b;
    for (u32 i = 0; i < count; ++i)
        for (u32 k = 0; k < bytesPerSample; ++k) b += char(i * 37 + k * 11);
    return b;
}

Bytes ToBytes(const std::vector<u8>& v) { return Bytes(v.begin(), v.end()); }

// Adds each file to its driver's seeds, and to the sound buffer's in four
// modes: static once, streamed looped, streamed looped from 0.05 s with
// pan, static 3D looped.
class SoundSink {
public:
    SoundSink(const std::string& root, const char* driver)
        : m_files(root, driver), m_buffer(root, "sound_buffer"), m_ogg(std::string(driver) == "ogg")
    {
    }
    void Add(const std::string& name, const Bytes& file)
    {
        m_files.Add(name, file);
        for (const u8 mode : {0x02, 0x10, 0x38, 0x16})
            m_buffer.Add(name + "-" + std::to_string(mode), Bytes(1, char(mode | (m_ogg ? 1 : 0))) + file);
    }

private:
    Sink m_files, m_buffer;
    bool m_ogg;
};

void MakeWavSeeds(const std::string& root)
{
    SoundSink sink(root, "wav");
    sink.Add("pcm16-mono", ToBytes(sound_test::MakeWav(sound_test::Ramp(300), 1, 22050)));
    sink.Add("pcm8-stereo-list-odd",
             Wave(Chunk("LIST", Bytes("INFOISFT\3\0\0\0ab\0", 15)) + Chunk("fmt ", Format(1, 2, 11025, 8)) +
                  Chunk("data", Samples(101, 1))));
    const Bytes none;
    sink.Add("float-cbsize0", Wave(Chunk("fmt ", Format(3, 1, 48000, 32, &none)) + Chunk("data", Samples(64, 4))));
    const Bytes extensible = Samples(22, 1);
    sink.Add("extensible", Wave(Chunk("fmt ", Format(0xFFFE, 2, 44100, 24, &extensible)) + Chunk("fact", Bytes(4, '\1')) +
                                Chunk("data", Samples(90, 3))));
    // A "data" chunk sized past the file's end, as a writer into a pipe
    // leaves it, ending inside a frame.
    Bytes piped = Wave(Chunk("fmt ", Format(1, 2, 8000, 16)), 0x7FFFF024) + "data";
    Le32(piped, 0x7FFFF000);
    sink.Add("data-size-past-end", piped + Samples(41, 2));
    // The RIFF size of the 16-byte "fmt " alone, short of the 18-byte one
    // and the "fact" chunk the file holds.
    sink.Add("riff-size-short", Wave(Chunk("fmt ", Format(3, 1, 8000, 32, &none)) + Chunk("fact", Bytes(4, '\2')) +
                                         Chunk("data", Samples(30, 4)),
                                     36 + 30 * 4));
    const Bytes sixChannels = Bytes("\x10\x00\x3F\x00\x00\x00", 6) + Bytes("\x01\x00\x00\x00\x00\x00\x10\x00"
                                                                         "\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    sink.Add("extensible-six-channels", Wave(Chunk("fmt ", Format(0xFFFE, 6, 22050, 16, &sixChannels)) +
                                             Chunk("data", Samples(60, 2))));
    sink.Add("riff-size-past-end", Wave(Chunk("fmt ", Format(1, 1, 8000, 16)) + Chunk("data", Samples(20, 2)), 0x7FFFFFF0));
}

// The pages of an Ogg file, as they stand.
std::vector<Bytes> Pages(const Bytes& ogg)
{
    std::vector<Bytes> pages;
    for (size_t at = 0; at + 27 <= ogg.size();) {
        const size_t segments = u8(ogg[at + 26]);
        size_t size = 27 + segments;
        for (size_t i = 0; i < segments && at + 27 + i < ogg.size(); ++i) size += u8(ogg[at + 27 + i]);
        pages.push_back(ogg.substr(at, size));
        at += size;
    }
    return pages;
}

// Damaged copies of a file from one page on: the page left out, its body
// corrupted (the checksum no longer holds) and the page cut short.
void AddDamaged(SoundSink& sink, const std::string& name, const Bytes& ogg, size_t page)
{
    const std::vector<Bytes> pages = Pages(ogg);
    if (page >= pages.size()) return;
    Bytes before, after;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i < page) before += pages[i];
        if (i > page) after += pages[i];
    }
    Bytes corrupt = pages[page];
    corrupt[corrupt.size() - 5] = char(corrupt[corrupt.size() - 5] ^ 0x55);
    const std::string at = std::to_string(page);
    sink.Add(name + "-without-page-" + at, before + after);
    sink.Add(name + "-corrupt-page-" + at, before + corrupt + after);
    sink.Add(name + "-cut-page-" + at, before + pages[page].substr(0, pages[page].size() / 2) + after);
}

void MakeOggSeeds(const std::string& root)
{
    SoundSink sink(root, "ogg");
    const std::vector<i16> mono = sound_test::Ramp(4410);
    std::vector<i16> stereo;
    for (i16 s : sound_test::Ramp(2205)) stereo.insert(stereo.end(), {s, i16(-s)});
    const auto first = sound_test::EncodeOgg(mono, 1, 22050);
    const auto second = sound_test::EncodeOgg(stereo, 2, 44100, true);
    sink.Add("mono-22050", ToBytes(first));
    sink.Add("stereo-44100-small-pages", ToBytes(second));
    sink.Add("chained", ToBytes(first) + ToBytes(second));
    for (size_t page : {3, 5}) AddDamaged(sink, "stereo", ToBytes(second), page);
}

}  // namespace

void MakeSoundSeeds(const std::string& root)
{
    MakeWavSeeds(root);
    MakeOggSeeds(root);
}

}  // namespace seeds
