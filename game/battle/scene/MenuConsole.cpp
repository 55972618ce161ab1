#include "game/battle/scene/MenuConsole.h"

#include "engine/platform/Input.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "host/window/Window.h"

namespace {

struct PageItem {
    const char* label;
    u32 action;
};

struct PageRow {
    const char* window;
    const char* group;
    u32 count;
    PageItem items[kMenuMaxItems];
};

const PageRow kPages[kMenuPageCount] = {
    {"Win2", "WinEnd", 2, {{"winEs11", kMenuQuit}, {"winEs12", kMenuClose}}},
    {"Win4", "WinBattle", 4, {{"winMclo3", 2}, {"winRetr", 5}, {"winModo", 4}, {"winTit4", 3}}},
    {"Win2", "WinBattleEnd", 3, {{"winRetr3", 5}, {"winModo3", 4}, {"winTit5", 3}}},
    {"Win1", "WinTraining", 5, {{"winMclo", 2}, {"winRetr2", 5}, {"winT30", 6}, {"winT40", 7}, {"winModo2", 4}}},
    {"Win4", "WinAdventure", 4, {{"winMclo7", 2}, {"winRetr7", 5}, {"winModo6", 4}, {"winTit13", 3}}},
    {"Win2", "WinAdventureEnd", 3, {{"winRetr8", 5}, {"winModo7", 4}, {"winTit14", 3}}},
    {"Win2", "WinStory", 2, {{"winMclo2", 2}, {"winTit2", 3}}},
    {"Win2", "WinStoryEnd", 2, {{"winRetr4", 5}, {"winTit8", 3}}},
    {"Win2", "WinStory", 2, {{"winMclo2", 2}, {"winTit2", 3}}},
    {"Win4", "WinReplay", 4, {{"winMclo4", 2}, {"winC2", 5}, {"winR3", 10}, {"winTit6", 3}}},
    {"Win2", "WinReplayEnd", 3, {{"winC3", 5}, {"winR4", 10}, {"winTit7", 3}}},
    {"Win1", "WinNetworkHost", 5, {{"winMclo5", 2}, {"winRetr5", 5}, {"winModo4", 4}, {"winN2", 11}, {"winTit9", 3}}},
    {"Win4", "WinNetworkHostEnd", 4, {{"winRetr6", 5}, {"winModo5", 4}, {"winN3", 11}, {"winTit10", 3}}},
    {"Win2", "WinNetworkClient", 2, {{"winMclo6", 2}, {"winTit11", 3}}},
    {"Win2", "WinNetworkClientEnd", 1, {{"winTit12", 3}}},
};

constexpr u32 kTrainingPage = 3;
const char* const kValueA[11] = {"winT321", "winT322", "winT323", "winT324", "winT325", "winT31",
    "winT33", "winT37", "winT35", "winT34", "winT36"};
const char* const kValueB[2] = {"winT42", "winT41"};

const char* const kSounds[3][2] = {
    {"Se_gameopt_select.ogg", "SE\\Se_gameopt_select.ogg"},
    {"Se_gameopt_set.ogg", "SE\\Se_gameopt_set.ogg"},
    {"Se_cancel.ogg", "SE\\Se_cancel.ogg"},
};

// Pad buttons and the keyboard's Escape.
constexpr u32 kButtonDecide = 22, kButtonCancel = 23, kButtonMenu = 30;
constexpr u32 kKeyEscape = 1;

u32 EndPageOf(u32 kind)
{
    switch (kind) {
    case kMenuKindAdventure: return 5;
    case kMenuKindStory: return 7;
    case kMenuKindReplay: return 10;
    case kMenuKindNetworkHost: return 12;
    case kMenuKindNetworkClient: return 14;
    default: return 2;
    }
}

void PostQuit() { host::window::PostQuitMessage(0); }

}  // namespace

u32 CMenuConsole::ActionOf(u32 id, i32 item)
{
    if (id >= kMenuPageCount || item < 0 || u32(item) >= kPages[id].count) return kMenuNone;
    return kPages[id].items[item].action;
}

void CMenuConsole::LoadPage(MenuPage& page, const CSceneResource* layout, u32 id, u32 cancellable)
{
    page = MenuPage{};
    const PageRow& row = kPages[id];
    page.id = id;
    page.count = row.count;
    page.cancellable = cancellable;
    page.window = Find(layout, row.window);
    page.group = Find(layout, row.group);
    for (u32 i = 0; i < row.count; ++i) page.labels[i] = Find(layout, row.items[i].label);
    if (id == kTrainingPage) {
        page.markers[2] = Find(layout, "winTyaji1");
        page.markers[3] = Find(layout, "winTyaji2");
    }
}

u32 CMenuConsole::Load(const CSceneResource* layout, u32 kind)
{
    // The kind comes from the set-up; one past the page table must not index it.
    if (kind == 0 || kind >= kMenuPageCount) kind = kMenuKindFree;
    LoadPage(m_pages[0], layout, kind, 1);
    LoadPage(m_pages[1], layout, 0, 1);
    LoadPage(m_pages[2], layout, EndPageOf(kind), 0);
    for (u32 i = 0; i < 11; ++i) m_valuesA[i] = Find(layout, kValueA[i]);
    for (u32 i = 0; i < 2; ++i) m_valuesB[i] = Find(layout, kValueB[i]);

    CSoundBuffer** sounds[3] = {&m_select, &m_decide, &m_cancel};
    CResourceController* controller = Resources();
    CResourceList* list = controller ? controller->GetSoundList() : nullptr;
    for (u32 i = 0; i < 3; ++i) {
        *sounds[i] = FindSound(kSounds[i][0]);
        if (*sounds[i]) continue;
        // Every console of the battle asks: a missing file is looked for once.
        if (controller && controller->IsKnownMiss(CResourceController::kListSounds, kSounds[i][1])) return 0;
        auto* made = new CSoundBuffer();
        if (!made || !made->Load(kSounds[i][1], 1, 0)) {
            delete made;
            if (controller) controller->RememberMiss(CResourceController::kListSounds, kSounds[i][1]);
            return 0;
        }
        void* slot = made;
        if (!list || !list->Add(&slot)) {
            // Nobody would own it: refuse rather than leak or dangle.
            delete made;
            return 0;
        }
        *sounds[i] = made;
    }

    m_valueA = 5;
    m_valueB = 0;
    for (const MenuPage& page : m_pages) Highlight(page);
    if (kind == kMenuKindTraining || kind == kMenuKindTutorial) {
        ShowA();
        ShowB();
    }
    return 1;
}

void CMenuConsole::Open(MenuPage& page)
{
    page.open = 1;
    page.selection = page.count == 1 ? -1 : 0;
    Highlight(page);
}

void CMenuConsole::Highlight(const MenuPage& page)
{
    for (u32 i = 0; i < kMenuMaxItems; ++i) {
        const bool chosen = page.selection == i32(i);
        if (page.labels[i]) page.labels[i]->SetColorARGB(chosen ? 0xFFFFFFFFu : 0xFF808080u);
        if (page.markers[i]) page.markers[i]->SetVisible(chosen ? 1 : 0);
    }
}

void CMenuConsole::ShowA()
{
    for (i32 i = 0; i < 11; ++i) {
        if (m_valuesA[i]) m_valuesA[i]->SetVisible(i == m_valueA ? 1 : 0);
    }
    u32 value = u32(m_valueA);
    Ask(kConsoleMsgTrainingA, &value);
}

void CMenuConsole::ShowB()
{
    for (i32 i = 0; i < 2; ++i) {
        if (m_valuesB[i]) m_valuesB[i]->SetVisible(i == m_valueB ? 1 : 0);
    }
    u32 value = u32(m_valueB);
    Ask(kConsoleMsgTrainingB, &value);
}

void CMenuConsole::Play(CSoundBuffer* sound) const
{
    u32 volume = 0;
    Ask(kConsoleMsgEffectVolume, &volume);
    PlayAt(sound, i32(volume));
}

void CMenuConsole::Decide(u32 action)
{
    switch (action) {
    case kMenuQuit:
        (m_quit ? m_quit : PostQuit)();
        break;
    case kMenuTitle:
    case kMenuSelect:
    case kMenuRetry:
    case kMenuReplayList:
    case kMenuNetwork: {
        u32 code = action;
        Ask(kConsoleMsgEndCode, &code);
        break;
    }
    default:
        break;
    }
}

void CMenuConsole::Step(MenuPage& page, const InputState& pad)
{
    const auto went = [&pad](u32 a, u32 b) { return pad.IsTriggered(a) || pad.IsTriggered(b); };
    if (pad.IsTriggered(kButtonDecide) && page.selection >= 0 && u32(page.selection) < page.count) {
        const u32 action = ActionOf(page.id, page.selection);
        page.open = 0;
        Decide(action);
        Play(m_decide);
    } else if (page.cancellable && went(kButtonMenu, kButtonCancel)) {
        page.open = 0;
        Play(m_cancel);
    }

    const i32 count = i32(page.count);
    if (count == 0) return;
    const u32 action = ActionOf(page.id, page.selection);
    if (went(13, 9)) {
        page.selection = page.selection + 1 >= count ? 0 : page.selection + 1;
    } else if (went(12, 8)) {
        page.selection = page.selection <= 0 ? count - 1 : page.selection - 1;
    } else if (went(15, 11) || went(14, 10)) {
        const i32 step = went(15, 11) ? 1 : -1;
        if (action == kMenuTrainingA) {
            m_valueA = (m_valueA + step + 11) % 11;
            ShowA();
        } else if (action == kMenuTrainingB) {
            m_valueB ^= 1;
            ShowB();
        }
    } else {
        return;
    }
    Highlight(page);
    Play(m_select);
}

i32 CMenuConsole::Update(u32)
{
    const InputState* pad = m_input ? m_input->GetState(0) : nullptr;
    if (!pad) return 1;
    for (MenuPage* page : {&m_pages[2], &m_pages[1], &m_pages[0]}) {
        if (page->open) {
            Step(*page, *pad);
            return 1;
        }
    }
    if (m_input->IsKeyDown(kKeyEscape)) Open(m_pages[1]);
    else if (pad->IsTriggered(kButtonMenu)) Open(m_pages[0]);
    return 1;
}

i32 CMenuConsole::Draw(u32 argument)
{
    (void)argument;
    for (const MenuPage* page : {&m_pages[1], &m_pages[0], &m_pages[2]}) {
        if (!page->open) continue;
        DrawAt(page->window);
        DrawAt(page->group);
    }
    return 1;
}
