// CMenuConsole: the in-battle menus of the local player's HUD: the pause
// page of the battle kind (menu button), the quit prompt (Escape) and the
// end-of-battle page the battle console opens once the result has shown.
// Choosing an item closes its page and, for the scene changes, hands an
// action code to the battle scene (message 42).
#pragma once

#include "game/battle/scene/ConsoleBase.h"

// What choosing an item does.
enum MenuAction : u32 {
    kMenuQuit = 0,          // quits the program
    kMenuClose = 1,
    kMenuResume = 2,
    kMenuTitle = 3,         // the rest go to the battle scene
    kMenuSelect = 4,
    kMenuRetry = 5,
    kMenuTrainingA = 6,     // value items: deciding only closes
    kMenuTrainingB = 7,
    kMenuReplayList = 10,
    kMenuNetwork = 11,
    kMenuNone = 12,         // no item selected
};

// Battle kinds the battle console passes to Load.
enum MenuKind : u32 {
    kMenuKindFree = 1,
    kMenuKindTraining = 3,
    kMenuKindAdventure = 4,
    kMenuKindStory = 6,
    kMenuKindTutorial = 8,
    kMenuKindReplay = 9,
    kMenuKindNetworkHost = 11,
    kMenuKindNetworkClient = 13,
};

inline constexpr u32 kMenuPageCount = 15;
inline constexpr u32 kMenuMaxItems = 5;

struct MenuPage {
    u32 id = 0;
    u32 count = 0;
    i32 selection = 0;   // -1: none
    u32 open = 0;
    u32 cancellable = 0;
    CSceneObject* window = nullptr;
    CSceneObject* group = nullptr;
    CSceneObject* labels[kMenuMaxItems] = {};
    CSceneObject* markers[kMenuMaxItems] = {};
};

class CMenuConsole : public CConsoleBase {
    ORV_VALUE_CLASS(CMenuConsole)

public:
    CMenuConsole() = default;
    explicit CMenuConsole(CScene* owner) : CConsoleBase(owner) {}
    CMenuConsole(const CMenuConsole&) = default;
    ~CMenuConsole() override { CMenuConsole::Release(); }

    // Pages of battle kind k (a kind past the page table is taken as free
    // battle). 0 when a menu sound is neither listed nor loadable.
    u32 Load(const CSceneResource* layout, u32 kind);
    i32 Update(u32 argument) override;
    // Open pages: the quit prompt, the pause page, the end page, each its
    // window then its group.
    i32 Draw(u32 argument) override;
    i32 Release() override { return 1; }

    void OpenEndMenu() { Open(m_pages[2]); }
    u32 IsOpen() const { return m_pages[0].open || m_pages[1].open || m_pages[2].open; }

    // Pad 0 and the keyboard; nothing acts without one.
    void SetInput(const ConsoleInput* input) { m_input = input; }
    // Asked when an item quits the program.
    void SetQuit(void (*quit)()) { m_quit = quit; }

    // 0 pause, 1 quit prompt, 2 end page.
    const MenuPage& GetPage(u32 i) const { return m_pages[i < 3 ? i : 0]; }
    i32 GetTrainingA() const { return m_valueA; }
    i32 GetTrainingB() const { return m_valueB; }
    // The action of item i of page id, kMenuNone past its items.
    static u32 ActionOf(u32 id, i32 item);

private:
    void LoadPage(MenuPage& page, const CSceneResource* layout, u32 id, u32 cancellable);
    void Open(MenuPage& page);
    void Step(MenuPage& page, const InputState& pad);
    void Decide(u32 action);
    void Highlight(const MenuPage& page);
    void ShowA();
    void ShowB();
    void Play(CSoundBuffer* sound) const;

    // The pause page, the quit prompt and the end page, in that order.
    MenuPage m_pages[3];
    CSceneObject* m_valuesA[11] = {};
    CSceneObject* m_valuesB[2] = {};
    i32 m_valueA = 5;
    i32 m_valueB = 0;
    CSoundBuffer* m_select = nullptr;
    CSoundBuffer* m_decide = nullptr;
    CSoundBuffer* m_cancel = nullptr;
    const ConsoleInput* m_input = nullptr;
    void (*m_quit)() = nullptr;
};
