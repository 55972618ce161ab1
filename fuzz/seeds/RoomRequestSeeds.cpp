// Seeds of the room request driver: an open room and a player, a room with
// the level byte past the table, texts at and over their limits (one cut in
// a double-byte character), options that fill the 128 bytes and that do not.
#include "fuzz/seeds/Seeds.h"

namespace seeds {

namespace {

Bytes Room(u8 levelRange, u16 limit, u16 count)
{
    Bytes b(814, '\0');
    b[41] = char(limit), b[42] = char(limit >> 8);
    b[443] = char(count), b[444] = char(count >> 8);
    b[309] = char(levelRange);
    return b;
}

Bytes Number(u32 v) { return Bytes{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

Bytes Texts(const Bytes& name, const Bytes& comment, const Bytes& password, u8 range)
{
    auto fit = [](Bytes t, size_t n) {
        t.resize(n, '\0');
        return t;
    };
    return fit(name, 21) + fit(comment, 256) + fit(password, 9) + char(range);
}

Bytes Options(u32 count, u8 size)
{
    Bytes b;
    for (u32 i = 0; i < count; ++i) b += {char(size), char(i)};
    return b;
}

}  // namespace

void MakeRoomRequestSeeds(const std::string& root)
{
    Sink sink(root, "room_request");
    sink.Add("open-room", Room(13, 4, 1) + Number(45) + Texts("Arena", "hello", "pw", 13));
    sink.Add("level-past-table", Room(200, 8, 2) + Number(5) + Texts("x", "", "", 255) + Options(3, 2));
    sink.Add("long-texts", Room(2, 4, 4) + Number(99) +
                               Texts(Bytes(19, 'n') + "\x82\xa0", Bytes(256, 'c'), Bytes(9, 'p'), 9));
    sink.Add("options-fill", Room(9, 4, 0) + Number(0xFFFFFFFFu) + Texts("a", "b", "c", 5) + Options(25, 4));
    sink.Add("options-overrun", Room(0, 4, 0) + Number(19) + Texts("a", "b", "c", 0) + Options(26, 4));
    sink.Add("option-size-three", Room(0, 4, 0) + Number(19) + Texts("a", "b", "c", 0) + Options(1, 3));
}

}  // namespace seeds
