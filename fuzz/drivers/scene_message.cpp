// Messages off the wire and out of replays into a battle scene: byte 0
// picks the door (bit 0: a side message or a peer message) and the role
// (bit 1: host or client), bytes 1..4 the id, the rest is the body. A side
// message is taken only as a whole radio chat line; a peer-left notice
// changes only another entry of the battle; nothing reaches the bullet list,
// and only the host's end message ends a client's battle.
#include "fuzz/FuzzSupport.h"
#include "game/battle/scene/BattleScene.h"

namespace {

// A scene with its set-up and its lockstep, without fighters: what a
// message may touch.
class Scene : public CBattleScene {
public:
    explicit Scene(u32 local)
    {
        m_setup = std::make_unique<CBattleSetup>();
        m_localEntry = m_setup->localEntry = local;
        CreateLockstep();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5) return 0;
    const u32 id = u32(data[1]) | u32(data[2]) << 8 | u32(data[3]) << 16 | u32(data[4]) << 24;
    const u8* body = data + 5;
    const u32 length = u32(size - 5);
    const u32 local = data[0] & 2 ? 1 : 0;
    Scene scene(local);
    u32 kinds[4];
    for (u32 i = 0; i < 4; ++i) kinds[i] = scene.GetSetup()->entries[i].kind;
    if (data[0] % 2 == 0) {
        const u32 took = scene.OnSideMessage(id, body, length);
        FUZZ_CHECK(!took || (id == kRadioChatId && length == kRadioChatBytes));
        FUZZ_CHECK(scene.GetRefusedSideMessages() == 1 - took);
    } else {
        const u32 took = scene.OnPeerMessage(id, body, length);
        FUZZ_CHECK(!took || (id >= kMsgBattleEnd && id <= kMsgPeerLeft));
        for (u32 i = 0; i < 4; ++i) {
            const bool left = took && id == kMsgPeerLeft && length == 4 && body[0] == i && i != local;
            FUZZ_CHECK(scene.GetSetup()->entries[i].kind == (left ? CBattleEntry::kKindNone : kinds[i]));
        }
        FUZZ_CHECK(!took || id != kMsgBattleEnd || local != 0);
    }
    FUZZ_CHECK(scene.GetBullets().GetCount() == 0);
    FUZZ_CHECK(scene.IsEndRequested() == 0);
    return 0;
}
