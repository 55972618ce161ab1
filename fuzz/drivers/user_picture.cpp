// Fuzz driver for user details with pictures (UserPictureDriver.h says how
// an input reads): each goes through the client's Dispatch and so through
// the record's SetPicture, on a fake graphics device so the accepted ones
// are decoded. After each the record's picture must be within the limits,
// and a picture that is drawn must have passed the checks and loaded.
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/System.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/UserPictureDriver.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyUserPicture.h"
#include "game/network/tests/LobbyDoubles.h"
#include "host/kernel/Kernel.h"
#include "host/render/FakeRender.h"
#include "host/render/RenderBackend.h"
#include "host/window/FakeWindow.h"

#include <vector>

namespace {

using namespace fuzz::user_picture;
using namespace lobby;

host::window::LResult WindowProc(host::window::Handle window, uint32_t message, host::window::WParam w,
                                 host::window::LParam l)
{
    return host::window::DefWindowProc(window, message, w, l);
}

// One fake device for the whole process; its call log is emptied after each
// input (over a million inputs it grew to hundreds of megabytes).
struct Stage {
    Stage()
    {
        host::window::InstallFakeWindow();
        fake = &host::render::InstallFakeRender();
        FUZZ_CHECK(system.Create(GetModuleInstance(), "fuzz", -1, -1, 640, 480, 0xCA0000, 105, &WindowProc,
                                 nullptr) == 1);
        FUZZ_CHECK(device.Create(&system) == 1);
    }
    host::render::FakeRender* fake = nullptr;
    CSystem system;
    CGraphicDevice device;
};

i32 Deliver(CLobbyClient& client, u16 type, std::vector<u8> payload)
{
    ScrambleLobby(payload.data(), payload.size(), client.GetPayloadKey());
    return client.Dispatch(type, kStatusSuccess, payload.data(), u32(payload.size()));
}

void Check(CLobbyClient& client)
{
    LobbyUserRecord user;
    FUZZ_CHECK(client.GetUser(kUserId, &user));
    if (!user.picture) return;
    FUZZ_CHECK(user.PictureBytes() > 0 && user.PictureBytes() <= kMaxPictureBytes);
    if (const CTexture* texture = LoadedTexture(user)) {
        FUZZ_CHECK(PictureAllowed(user.picture->bytes.data(), user.PictureBytes()));
        FUZZ_CHECK(texture->GetTexture() != nullptr);
        FUZZ_CHECK(texture->GetWidth() <= kMaxPictureSide && texture->GetHeight() <= kMaxPictureSide);
    } else {
        FUZZ_CHECK(!user.picture->loaded);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Stage stage;
    stage.fake->ClearLog();   // the device's creation, then the last input's
    lobby_test::RecordingScreens::Shared screens;
    lobby_test::RecordingPeerSide::Shared peers;
    CLobbyClient client(nullptr);
    FUZZ_CHECK(lobby_test::CreateRecorded(client, screens, peers) == 1);
    FUZZ_CHECK(Deliver(client, kHandshake, {'~', 0x51}) == 1);
    FUZZ_CHECK(Deliver(client, kLoginResult, lobby_test::UserDetailBytes(7, "me", "")) == 1);
    FUZZ_CHECK(Deliver(client, kUsersAdded, lobby_test::UserEntryBytes(kUserId, "nine")) == 1);
    fuzz::Input input(data, size);
    while (input.RestSize() > 0) {
        const i32 claimed = i32(input.Word());
        const u32 present = u32(input.Byte()) | (u32(input.Byte()) << 8);
        const size_t take = std::min<size_t>(present, input.RestSize());
        std::vector<u8> detail = lobby_test::UserDetailBytes(kUserId, "nine", "p", claimed);
        detail.insert(detail.end(), input.Rest(), input.Rest() + take);
        for (size_t i = 0; i < take; ++i) input.Byte();
        const bool inside = claimed <= 0 || u32(claimed) <= take;
        FUZZ_CHECK(Deliver(client, kUserDetail, detail) == (inside ? 1 : 0));
        Check(client);
        if (!inside) break;   // the receive thread would end here
    }
    client.Destroy();
    stage.fake->ClearLog();
    return 0;
}
