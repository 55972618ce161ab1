// The address list: the 24 recent host addresses in two columns of twelve,
// one picked with decide. A sub-screen of the connect option screen.
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbySceneBase.h"

class CSceneObject;

namespace lobby_screen {

inline constexpr const char* kAddressListLayout = "Scene\\Network07.sce";
// The group holding the digit images "n0".."n9" in the layouts that show
// digits; the digit slots, of the same names, stand at the top level.
inline constexpr const char* kDigitGroup = "num";
inline constexpr u32 kRecentCount = 24;
inline constexpr u32 kListColumnRows = 12;
inline constexpr u32 kAddressDigits = 12;

// The digit image an address character shows: its digit. NUL shows 0, and
// so does anything else (a hand-edited configuration): there is no image
// for it.
u32 DigitGlyph(char c);

// Cursor moves of the list: up and down wrap inside a column, left and
// right switch columns.
u32 ListUp(u32 cursor);
u32 ListDown(u32 cursor);
u32 ListLeft(u32 cursor);
u32 ListRight(u32 cursor);

// The digit images "n0".."n9" of a layout (null where missing), and a layer
// found anywhere but in the digit images' group.
void FindDigitImages(const CSceneResource& scene, CSceneObject* (&images)[10]);
CSceneObject* FindOutsideDigits(const CSceneResource& scene, const char* name);
// The digit image's rectangle of the texture (empty without the image).
CRect4 DigitRect(CSceneObject* const (&images)[10], u32 digit);

}  // namespace lobby_screen

class CLobbyIpListScene : public CLobbySceneBase {
    ORV_VALUE_CLASS(CLobbyIpListScene)

public:
    // An entry's place from the first, in layout units: a column, a row.
    static constexpr f32 kColumnStep = 476.0f;
    static constexpr f32 kRowStep = 48.0f;

    CLobbyIpListScene() = default;
    CLobbyIpListScene(CLobbyClient* client, LobbySceneContext* context) : CLobbySceneBase(client, context) {}
    // The layers are the copy's own: looked up again.
    CLobbyIpListScene(const CLobbyIpListScene& other);
    ~CLobbyIpListScene() override = default;

    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32 argument) override;

    // 1 when closed with decide, 0 with cancel.
    u32 IsAccepted() const override { return m_accepted; }
    // Shown again: no result, not closed, the cursor on the newest entry.
    void Open();
    bool IsClosed() const { return m_closed != 0; }
    u32 GetCursor() const { return m_cursor; }

protected:
    void FindLayers() override;

private:
    void DrawEntry(u32 i, const IpAddressEntry& entry);

    u32 m_cursor = 0;
    u32 m_accepted = 0;
    u32 m_closed = 0;
    CSceneObject* m_background = nullptr;
    CSceneObject* m_top = nullptr;
    CSceneObject* m_mowa = nullptr;
    CSceneObject* m_kira = nullptr;
    CSceneObject* m_digits[10] = {};
    CSceneObject* m_slots[lobby_screen::kAddressDigits] = {};
    CSceneObject* m_number[2] = {};   // tens, units
};
