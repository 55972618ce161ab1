// Seeds of the user picture driver: pictures from the project's image
// writer, a header that asks for a huge texture, one cut short, lengths of
// zero and below (the old picture stays) and one past the message.
#include "fuzz/drivers/UserPictureDriver.h"
#include "fuzz/seeds/Seeds.h"
#include "host/image/Image.h"

namespace seeds {

namespace {

using fuzz::user_picture::PictureRecord;

Bytes Bmp(u32 width, u32 height)
{
    std::vector<uint32_t> pixels(size_t(width) * height, 0xFF00FF00u);
    for (size_t i = 0; i < pixels.size(); i += 3) pixels[i] = 0xFF804020u;
    std::vector<uint8_t> out;
    host::image::WriteBmp24(pixels.data(), width, height, size_t(width) * 4, out);
    return Bytes(out.begin(), out.end());
}

Bytes PngClaiming(u32 width, u32 height)
{
    Bytes p("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (u32 v : {width, height})
        for (int i = 3; i >= 0; --i) p += char(u8(v >> (8 * i)));
    p += Bytes(5, '\0');
    return p + Bytes(64, '\x11');
}

Bytes Record(const Bytes& picture) { return PictureRecord(i32(picture.size()), picture); }

}  // namespace

void MakeUserPictureSeeds(const std::string& root)
{
    Sink sink(root, "user_picture");
    const Bytes small = Bmp(5, 3);
    sink.Add("one-picture", Record(small));
    sink.Add("replaced-then-kept", Record(small) + Record(Bmp(2, 9)) + PictureRecord(0, "") + PictureRecord(-7, "xx"));
    sink.Add("huge-header", Record(PngClaiming(8193, 8193)) + Record(small));
    sink.Add("side-limit", Record(PngClaiming(1024, 1024)) + Record(PngClaiming(1025, 2)));
    Bytes cut = small;
    cut.resize(40);
    sink.Add("cut-bmp", Record(cut));
    sink.Add("past-the-message", Record(small) + PictureRecord(500, small));
}

}  // namespace seeds
