#include "game/network/LobbyLogin.h"

#include "engine/platform/app/ImeInput.h"
#include "engine/scene/SceneObject.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyMessage.h"
#include "game/scenes/MenuScene.h"


using namespace lobby_scene;
using namespace lobby_screen;

CLobbyLoginScene::CLobbyLoginScene(const CLobbyLoginScene& other) : CLobbySceneBase(other), m_row(other.m_row)
{
    FindLayers();
}

void CLobbyLoginScene::FindLayers()
{
    m_background = FindLayer("bg02");
    m_base = FindLayer("Base");
    m_mowa = FindLayer("mowa");
    m_kira = FindLayer("kira");
    m_button = FindLayer("login2");
}

i32 CLobbyLoginScene::Initialize(intptr_t) { return LoadLayout(kLoginLayout); }

char* CLobbyLoginScene::IdField() const
{
    lobby::LobbyUserRecord* own = Context() ? Context()->state.ownUser : nullptr;
    return own ? reinterpret_cast<char*>(own->data + lobby::kLoginAt) : nullptr;
}

char* CLobbyLoginScene::PasswordField() const
{
    char* id = IdField();
    return id ? id + kLoginPasswordAt : nullptr;
}

bool CLobbyLoginScene::RowHasText() const
{
    const CImeInput* ime = Ime();
    return m_row != kRowLogin && ime && ime->IsEnabled() && ime->GetTotalLength() > 0;
}

void CLobbyLoginScene::Focus()
{
    CImeInput* ime = Ime();
    if (!ime) return;
    if (m_row == kRowLogin) {
        if (ime->IsEnabled()) LeaveField();
        return;
    }
    // Also after the message window turned it off.
    if (!ime->IsEnabled()) FocusField(1, f32(kFontSize), m_row == kRowId ? kIdTyped : kPasswordTyped);
}

void CLobbyLoginScene::UpdateMenu()
{
    // A field holding text takes every key as typing: a key that also types
    // a letter (z, x, w, s by default) into an empty field is that letter.
    if (RowHasText()) return;
    // Each key pressed this frame takes its step, in this order.
    for (const bool up : {true, false}) {
        if (!(up ? menu::UpTriggered() : menu::DownTriggered())) continue;
        m_row = up ? (m_row == 0 ? kRowLogin : m_row - 1) : (m_row == kRowLogin ? 0 : m_row + 1);
        // A new row, a new field: the entry starts again with its limit.
        LeaveField();
        PlaySound(kSelectSound);
    }
    if (menu::Triggered(menu::kDecide) && m_row == kRowLogin) {
        if (Context() && Context()->message) Context()->message->Show(kLoginWaiting, this);
        if (Client()) Client()->SendLogin();
        PlaySound(kDecideSound);
    }
    if (menu::Triggered(menu::kCancel)) {
        LeaveField();
        if (Client()) {
            if (Context() && Context()->startMode == 2) Client()->SetExitRequest(1);
            else Client()->SetScreen(u32(LobbyLayer::kEntrance));
            // Under the client lock: the receive thread is joined by the
            // client's next Update.
            Client()->Disconnect();
        }
        PlaySound(kCancelSound);
    }
}

i32 CLobbyLoginScene::Update(u32 argument)
{
    UpdateMenu();
    if (Client() && Client()->GetScreen() == u32(LobbyLayer::kLogin)) {
        Focus();
        if (m_row == kRowId && IdField()) EditStored(IdField(), kLoginIdBytes);
        else if (m_row == kRowPassword && PasswordField()) EditStored(PasswordField(), kLoginPasswordBytes);
    }
    return CSceneResource::Update(argument);
}

i32 CLobbyLoginScene::Draw(u32)
{
    DrawLayer(m_background);
    DrawLayer(m_base);
    DrawKira(m_kira);
    if (m_row == kRowLogin) DrawLayer(m_button);
    const f32 s = TextScale();
    const bool typing = RowHasText();
    char text[kLoginIdBytes];
    if (IdField() && !(typing && m_row == kRowId)) {
        CopyField(text, kLoginIdBytes, IdField());
        DrawOutlined(kTextX, kIdY, kFontSize, text);
    }
    if (PasswordField() && !(typing && m_row == kRowPassword)) {
        CopyField(text, kLoginPasswordBytes, PasswordField());
        DrawOutlined(kTextX, kPasswordY, kFontSize, text);
    }
    if (m_row != kRowLogin)
        if (CImeInput* ime = Ime())
            ime->Draw(kEntryX * s, (m_row == kRowId ? kIdY : kPasswordY) * s, kFontSize, s, TextColour());
    return 1;
}
