#include "game/scenes/ChatLine.h"

#include "engine/platform/Input.h"
#include "engine/platform/app/ImeInput.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/NetworkHost.h"
#include "game/scenes/SelectMessages.h"

namespace chat_line {

namespace {

CDirectInput* Keyboard()
{
    CGameApp* app = GetGameApp();
    CInput* input = app ? app->GetInput() : nullptr;
    return input ? input->GetDirectInput() : nullptr;
}

bool EnterTriggered(const CDirectInput* keys)
{
    return keys && (keys->IsKeyTriggered(kReturnKey) || keys->IsKeyTriggered(kPadEnterKey));
}

bool EnterDown(const CDirectInput* keys)
{
    return keys && (keys->IsKeyDown(kReturnKey) || keys->IsKeyDown(kPadEnterKey));
}

}  // namespace

void Update(ILobbyRoom* lobby, u32& open)
{
    CImeInput* ime = lobby ? lobby->GetImeInput() : nullptr;
    if (!ime) {
        open = 0;
        return;
    }
    if (!ime->IsEnabled()) {
        ime->Enable(1);
        ime->SetMode(1, kInputScale, i32(select_net::kChatInputBytes));
    }
    const CDirectInput* keys = Keyboard();
    if (!EnterTriggered(keys)) {
        if (!EnterDown(keys)) ime->SetChanged(0);
        return;
    }
    if (ime->GetTotalLength() == 0) {
        Close(lobby, open);
        return;
    }
    if (ime->GetCompositionLength() != 0 || ime->GetChanged()) return;
    char text[select_net::kChatTextBytes] = {};
    ime->TakeText(text, sizeof text);
    const auto line = select_net::MakeChatLine(lobby->GetUserName(), text);
    lobby->SendRoomChat(line.data(), u32(line.size()));
    Close(lobby, open);
}

void Close(ILobbyRoom* lobby, u32& open)
{
    if (open && lobby)
        if (CImeInput* ime = lobby->GetImeInput()) ime->Enable(0);
    open = 0;
}

void Draw(ILobbyRoom* lobby, u32 open, f32 scale)
{
    if (!lobby) return;
    lobby->DrawRoomChat(64.0f, 640.0f, scale);
    if (!open) return;
    if (CImeInput* ime = lobby->GetImeInput()) {
        ime->SetCandidateDisplay(1);
        ime->Draw(70.0f * scale, 744.0f * scale, kInputPixels, scale, 0xFFFFFFFFu);
    }
}

}  // namespace chat_line
