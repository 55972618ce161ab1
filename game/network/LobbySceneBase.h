// CLobbySceneBase: what every lobby screen and window shares. Each is a 2D
// scene on CSceneResource made once for the lobby client's life, updated and
// drawn by the screen set under the client lock; they never make one another
// but switch screens through the client's screen index and raise dialogs
// through the message window.
//
// LobbySceneContext is the data they share: the client's state viewed in
// place (the client lock guards it), the windows, the two chat logs, and
// what the configuration hands network play.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/network/LobbyClient.h"

#include <string>
#include <vector>

class CLobbyRoomCreate;
class CLobbyRoomInformation;
class CLobbyRoomScene;
class CLobbySceneBase;
class CLobbySceneMessage;
class CLobbyUserInformation;
class CSceneObject;

namespace lobby_scene {

// Fixed text fields: bytes with the terminator.
inline constexpr u32 kIdBytes = 33;
inline constexpr u32 kPasswordBytes = 17;
inline constexpr u32 kPlayerNameTyped = 17;   // the entry's limit
inline constexpr u32 kPlayerNameBytes = kPlayerNameTyped + 1;
inline constexpr u32 kChatTextBytes = 256;
inline constexpr u32 kRoomNameBytes = 21;
inline constexpr u32 kCommentBytes = 256;
inline constexpr u32 kRoomPasswordBytes = 9;
inline constexpr u32 kSpeakerBytes = 25;   // 24 and the terminator
inline constexpr u32 kChatLineBytes = kSpeakerBytes + kChatTextBytes;
static_assert(kChatLineBytes == 281);

inline constexpr u32 kChatLogLines = 60;
// The chat view follows new lines while it shows the newest this many.
inline constexpr u32 kChatFollowRows = 8;
// Rows a lobby or member list shows.
inline constexpr u32 kListRows = 31;

// Keyboard scan codes.
inline constexpr u32 kReturnKey = 28;
inline constexpr u32 kPadEnterKey = 156;
inline constexpr u32 kLeftShiftKey = 42;
inline constexpr u32 kRightShiftKey = 54;

// Layer tints.
inline constexpr u32 kWhite = 0xFFFFFFFFu;
inline constexpr u32 kDimmed = 0xFF808080u;

enum Sound : u32 { kSelectSound = 0, kDecideSound = 1, kCancelSound = 2 };

// text into a field of fieldBytes: at most fieldBytes - 1 bytes, cut at a
// character boundary, the rest zero. Null text empties the field.
void CopyField(char* field, u32 fieldBytes, const char* text);
// Each RGB channel halved, alpha kept: unselected text.
u32 DimText(u32 argb);

// A chat log: 60 lines of the speaker (25 bytes) and the text (256 bytes),
// oldest first, and the view's top line.
struct ChatLog {
    u32 count = 0;
    u32 top = 0;
    char lines[kChatLogLines][kChatLineBytes] = {};

    // Appends a line (the speaker cut to 24 bytes, the text to 255, both at a
    // character boundary); the view follows when it showed the newest eight.
    // A full log drops its oldest line.
    void Add(const char* speaker, const char* text);
    // A whole line as it came off the wire (281 bytes, terminated or not).
    void AddLine(const char* line);
    const char* Speaker(u32 i) const { return lines[i]; }
    const char* Text(u32 i) const { return lines[i] + kSpeakerBytes; }
    // Up (-1) or down (+1) between 0 and count - 1; true when it moved.
    bool Scroll(i32 delta);
    // top kept below count (0 when empty), for a log that another thread
    // may have changed.
    void Clamp();
};

// A list's selection and top row. Clamp before every look-up: the client's
// lists shrink on its receive thread between frames.
struct ListView {
    u32 selected = 0;
    u32 top = 0;

    // Selection below count, top in the rows shown around it; false (both
    // 0) for an empty list, which selects nothing.
    bool Clamp(u32 count, u32 rows = kListRows);
    // One step (no wrap), the top following; true when it moved.
    bool Move(i32 delta, u32 count, u32 rows = kListRows);
};

// A chat log's rows as drawn: each non-empty line its speaker as "【%s】" on
// a row, then its text cut into pieces of at most bytesPerLine (at character
// boundaries) on the rows after, until rows are used. Forward goes from line
// top on (oldest first); backward from line count - 1 - top back (newest
// first).
std::vector<std::string> ChatRows(const ChatLog& log, u32 top, u32 rows, u32 bytesPerLine, bool forward);

// Where a scroll bar's thumb sits: track / max(1, range) x min(range, top),
// and whether it shows at all (range or top above 0). range is count - rows
// for a list, count - 1 for a chat log.
bool ScrollBarShown(i32 range, u32 top);
f32 ScrollBarOffset(f32 track, i32 range, u32 top);

}  // namespace lobby_scene

struct LobbySceneContext {
    CLobbyClient* client = nullptr;
    // The client's, viewed in place (see LobbyClientState).
    LobbyClientState state;

    // The windows and the room screen (owned by the screen set): the
    // screens open the windows, and whoever makes this player a room's host
    // sets the room up.
    CLobbySceneMessage* message = nullptr;
    CLobbyUserInformation* userInformation = nullptr;
    CLobbyRoomInformation* roomInformation = nullptr;
    CLobbyRoomCreate* roomCreate = nullptr;
    CLobbyRoomScene* room = nullptr;

    lobby_scene::ChatLog lobbyChat;
    lobby_scene::ChatLog roomChat;

    // What the configuration hands network play.
    std::vector<IpAddressEntry> allowList;
    std::vector<IpAddressEntry> denyList;
    char playerName[lobby_scene::kPlayerNameBytes] = {};
    // 1: direct connection first, 2: lobby server first; 0: the entrance.
    u32 startMode = 0;
};

class CLobbySceneBase : public CSceneResource {
    ORV_ABSTRACT_CLASS(CLobbySceneBase)

public:
    CLobbySceneBase() = default;
    CLobbySceneBase(CLobbyClient* client, LobbySceneContext* context) : m_client(client), m_context(context) {}
    CLobbySceneBase(const CLobbySceneBase& other) = default;
    CLobbySceneBase& operator=(const CLobbySceneBase&) = delete;
    ~CLobbySceneBase() override;

    CLobbyClient* Client() const { return m_client; }
    LobbySceneContext* Context() const { return m_context; }

    // 0 select, 1 decide, 2 cancel, once at the shared volume. 1 when played;
    // 0 for another index or a sound not loaded.
    i32 PlaySound(u32 index);
    // Look-ups by id in the client's lists as they stand now (the receive
    // thread changes them between frames: never kept); null when absent.
    const lobby::LobbyRoomRecord* FindRoom(u32 id) const;
    const lobby::LobbyUserRecord* FindUser(u32 id) const;
    // A sub-screen's result word: 1 when closed with decide (or, for room
    // creation, while open).
    virtual u32 IsAccepted() const { return 0; }

protected:
    // The load every screen does: the layout, the shared texture on every
    // layer, the layout scale, FindLayers, then the scene resource's own
    // Initialize. 0 when the layout cannot be read.
    i32 LoadLayout(const char* path);
    // Looks up the scene's layers; a missing one stays null.
    virtual void FindLayers() {}

    // Text: layout units times TextScale from the top left, in the scene colour.
    f32 TextScale() const;
    u32 TextColour() const;
    u32 OutlineColour() const;
    CFontTexture* Font() const;
    // A single text outlined; dimmed when not selected.
    void DrawOutlined(f32 x, f32 y, u32 fontSize, const char* text, bool selected = true);
    // A list row or chat line, no outline.
    void DrawPlain(f32 x, f32 y, u32 fontSize, const char* text, bool selected = true);
    void DrawPlainAt(f32 x, f32 y, f32 scale, u32 fontSize, const char* text, bool selected);
    // A chat log's rows (ChatRows) from (x, y), lineHeight apart, unoutlined,
    // at scale (TextScale on the screen's own layout).
    void DrawChatLog(const lobby_scene::ChatLog& log, f32 x, f32 y, f32 scale, u32 top, u32 rows, u32 fontSize,
                     f32 lineHeight, u32 bytesPerLine, bool forward);
    // Null layers are skipped.
    static void DrawLayer(CSceneObject* layer);
    // The layer white when selected, else dimmed (set before Update).
    static void Tint(CSceneObject* layer, bool selected);
    // At the client's background scroll.
    void DrawKira(CSceneObject* layer);
    // Only while it scrolls (range or top above 0) unless always.
    void DrawScrollBar(CSceneObject* layer, f32 track, i32 range, u32 top, bool always = false);

    // Text entry. Focus: the input on with lines, text scale and the most
    // bytes; Leave: off, its text dropped.
    CImeInput* Ime() const;
    void FocusField(i32 lines, f32 fontSize, u32 maxBytes);
    void LeaveField();
    // One frame of a focused field: true when Enter submits the text this
    // frame (text there, nothing composing, the Enter not the one that
    // committed a composition; for chat, no Shift held). The text is then
    // taken into field (fieldBytes, cut and terminated). With emptyToo an
    // emptied editor submits too, so a field can be cleared.
    bool TakeEntered(char* field, u32 fieldBytes, bool chat = false, bool emptyToo = false);
    // A field that edits a stored string: Enter on an empty editor loads
    // the stored string into it; a submitting Enter writes it back. True
    // when written back.
    bool EditStored(char* stored, u32 storedBytes);
    // Enter (either) triggered this frame.
    static bool EnterPressed();

private:
    // Step 1 and 2 of the Enter rules; true when text may be taken.
    bool EnterSubmits(bool chat, bool emptyToo);

    CLobbyClient* m_client = nullptr;
    LobbySceneContext* m_context = nullptr;
};
