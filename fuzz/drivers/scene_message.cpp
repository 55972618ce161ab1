// Messages off the wire and out of replays into a battle scene: byte 0
// picks the door (even: a side message, odd: a peer message), bytes 1..4
// the id, the rest is the body. A side message is taken only as a whole
// radio chat line; a peer-left notice changes only an entry of the battle;
// nothing reaches the bullet list or requests the end but the end message.
#include "fuzz/FuzzSupport.h"
#include "game/battle/scene/BattleScene.h"

namespace {

// A scene with its set-up and no fighters: what a message may touch.
class Scene : public CBattleScene {
public:
    Scene() { m_setup = std::make_unique<CBattleSetup>(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5) return 0;
    const u32 id = u32(data[1]) | u32(data[2]) << 8 | u32(data[3]) << 16 | u32(data[4]) << 24;
    const u8* body = data + 5;
    const u32 length = u32(size - 5);
    Scene scene;
    u32 kinds[4];
    for (u32 i = 0; i < 4; ++i) kinds[i] = scene.GetSetup()->entries[i].kind;
    if (data[0] % 2 == 0) {
        const u32 took = scene.OnSideMessage(id, body, length);
        FUZZ_CHECK(took == (id == kRadioChatMessage && length == kRadioChatBytes));
        FUZZ_CHECK(scene.GetRefusedSideMessages() == 1 - took);
    } else {
        const u32 took = scene.OnPeerMessage(id, body, length);
        if (id != kPeerMsgLeft) FUZZ_CHECK(!took || id != kPeerMsgEnd || length == 4);
        for (u32 i = 0; i < 4; ++i) {
            const bool left = took && id == kPeerMsgLeft && length == 4 && body[0] == i && !body[1] && !body[2] &&
                !body[3];
            FUZZ_CHECK(scene.GetSetup()->entries[i].kind == (left ? CBattleEntry::kKindNone : kinds[i]));
        }
        FUZZ_CHECK(scene.IsEndRequested() == (took && id == kPeerMsgEnd));
    }
    FUZZ_CHECK(scene.GetBullets().GetCount() == 0);
    return 0;
}
