// Seeds of the room peer driver: a guest's join, table, chat and host
// leaving; a host's member info, chat, results (7 among them) and a member
// leaving; damaged tables (count 0, 9, negative, short) and join replies.
#include "fuzz/drivers/RoomPeerDriver.h"
#include "fuzz/seeds/Seeds.h"

namespace seeds {

namespace {

using fuzz::room_peer::MessageRecord;

Bytes JoinReply(u32 mode, u32 accepted)
{
    Bytes b(1, '~');
    Le32(b, mode);
    Le32(b, accepted);
    return b + Bytes("own") + Bytes(42, '\0');
}

Bytes Table(i16 count, char fill)
{
    Bytes b;
    Le16(b, u16(count));
    return b + Bytes(8 * 86, fill);
}

Bytes Chat(const Bytes& text) { return Bytes("guest") + Bytes(20, '\0') + text + Bytes(256 - text.size(), '\0'); }

Bytes Result(u32 value)
{
    Bytes b;
    return Le32(b, value);
}

}  // namespace

void MakeRoomPeerSeeds(const std::string& root)
{
    Sink sink(root, "room_peer");
    sink.Add("guest-joins", Bytes(1, '\0') + MessageRecord(1025, JoinReply(0, 1)) + MessageRecord(1027, Table(3, 'a')) +
                                MessageRecord(1021, Chat("hello")) + MessageRecord(0, ""));
    sink.Add("guest-damaged", Bytes(1, '\2') + MessageRecord(1025, JoinReply(1, 7)) + MessageRecord(1027, Table(9, 'x')) +
                                  MessageRecord(1027, Table(-1, 'x')) + MessageRecord(1027, Table(0, 'x')) +
                                  MessageRecord(1027, Table(2, 'x').substr(0, 300)) +
                                  MessageRecord(1021, Bytes(281, 'z')));
    Bytes info = Bytes("guest") + Bytes(20, '\0');
    Le32(info, 5);
    sink.Add("host-members", Bytes(1, '\1') + MessageRecord(1026, info) + MessageRecord(1021, Bytes(281, 'q')) +
                                 MessageRecord(1016, Result(2)) + MessageRecord(1016, Result(7)) +
                                 MessageRecord(1026, Bytes(3, 'n')) + MessageRecord(0, ""));
}

}  // namespace seeds
