#include "game/scenes/SelectCard.h"

#include "engine/core/Random.h"
#include "engine/core/Scene.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/ConsoleNames.h"
#include "game/data/SaveData.h"
#include "game/data/Skill.h"
#include "game/scenes/GameApp.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace select_card {

const u32 kCpuSkillTable[kCpuSkillSets][3] = {{1, 16, 31}, {1, 20, 33}, {2, 20, 33}, {2, 22, 34}, {3, 16, 31},
    {3, 29, 35}, {4, 17, 34}, {4, 29, 36}, {5, 16, 45}, {5, 22, 40}, {6, 17, 40}, {6, 24, 35}, {7, 27, 37},
    {7, 29, 41}, {8, 20, 38}, {8, 28, 44}, {9, 27, 36}, {9, 24, 35}, {10, 29, 42}, {10, 24, 31}, {12, 17, 38},
    {12, 27, 33}, {13, 16, 42}, {13, 20, 45}, {15, 16, 37}, {15, 27, 36}};

const RowNames kRowNames[kRowCount] = {
    {"Player", "yjr_l", "yjr_r", {"sele_car12", "sele_car11"}},
    {"Team", "yjr_l5", "yjr_r5", {"sele_car22", "sele_car21"}},
    {"Name", "yjr_l2", "yjr_r2", {"sele_car32", "sele_car31"}},
    {"Color", "yjrs_l", "yjrs_r", {"sele_car272", "sele_car271"}},
    {"Type", "yjr_l3", "yjr_r3", {"sele_car42", "sele_car41"}},
    {"Custom", "yjrs_l2", "yjrs_r2", {"sele_car512", "sele_car511"}},
    {"CpuSkill", "yjrs_l3", "yjrs_r3", {"sele_car522", "sele_car521"}},
    {"Hand", "yjr_l4", "yjr_r4", {"sele_car52", "sele_car51"}},
};

const char* OrbElementName(u32 orb, bool small)
{
    static const auto names = [] {
        std::array<std::array<std::string, kOrbCount>, 2> out;
        for (u32 i = 0; i < kOrbCount; ++i) {
            out[0][i] = console_names::kOrbKinds[i / 15] + std::to_string(i % 15);
            out[1][i] = out[0][i] + "e";
        }
        return out;
    }();
    return orb < kOrbCount ? names[small ? 1 : 0][orb].c_str() : nullptr;
}

const CSkillSetting* SkillAt(const CSkillList* skills, u32 position)
{
    if (!skills || position == 0 || position > skills->skills.GetCount()) return nullptr;
    return skills->skills.GetAt(position - 1);
}

}  // namespace select_card

using namespace select_card;

namespace {

constexpr const char* kNamedElements[] = {
    "Image", "Player", "Name", "Team", "Color", "Type", "Custom", "Hand", "CpuSkill", "Ok", "HandItem"};
constexpr const char* kKindMarks[6] = {"1P", "2P", "3P", "4P", "cpu", "-"};
constexpr const char* kTeamMarks[4] = {"a", "b", "c", "d"};
constexpr const char* kColourMarks[4] = {"color_a", "color_b", "color_c", "color_d"};
constexpr const char* kMysteryMarks[kSkillKinds] = {"rei_nazo", "rei_nazo2", "rei_nazo3"};
constexpr const char* kEmptyMarks[kSkillKinds] = {"rei_empe", "rei_emp2e", "rei_emp3e"};
constexpr u32 kSkillQuery = 19;

void Show(CSceneObject* layer, bool shown)
{
    if (layer) layer->SetVisible(shown ? 1 : 0);
}

u32 Wrap(u32 value, i32 step, u32 count) { return u32((i32(value % count) + step + i32(count)) % i32(count)); }

}  // namespace

CSelectCard::CSelectCard(CScene* owner, const CBattleEntry& entry) : CConsoleBase(owner)
{
    static_assert(sizeof(CBattleEntry) == kEntryWords * 4);
    std::memcpy(m_record, &entry, sizeof entry);
}

CSelectCard::~CSelectCard() { CSelectCard::Release(); }

CSceneObject* CSelectCard::Element(const char* name) const { return m_group ? m_group->FindLayer(name) : nullptr; }

void CSelectCard::FindElements()
{
    for (u32 i = 0; i < kNamedCount; ++i) m_named[i] = Element(kNamedElements[i]);
    for (u32 i = 0; i < 6; ++i) m_kinds[i] = Element(kKindMarks[i]);
    for (u32 i = 0; i < 4; ++i) {
        m_teams[i] = Element(kTeamMarks[i]);
        m_colours[i] = Element(kColourMarks[i]);
    }
    for (u32 i = 0; i < kOrbCount; ++i) m_orbs[i] = Element(OrbElementName(i, true));
    for (u32 k = 0; k < kSkillKinds; ++k) {
        m_mystery[k] = Element(kMysteryMarks[k]);
        m_empty[k] = Element(kEmptyMarks[k]);
    }
    m_cpuOff = Element("reig_off");
    m_cpuOn = Element("reig_on");
    for (u32 c = 0; c < kCharacters; ++c) {
        CharacterParts& parts = m_characters[c];
        const std::string image = std::string("W") + console_names::kImageName[c];
        parts.name = Element((std::string("name_") + console_names::kAbbreviation[c]).c_str());
        parts.portrait = Element((std::string("C") + console_names::kAbbreviation[c]).c_str());
        parts.image = Element(image.c_str());
        parts.types[0] = Element((image + "A").c_str());
        parts.types[1] = Element((image + "B").c_str());
    }
    m_characters[kRandom].portrait = Element("Crun");
    m_characters[kNobody].portrait = Element("Ckara");
    for (u32 r = 0; r < kRowCount; ++r) {
        m_rows[r].left = Element(kRowNames[r].left);
        m_rows[r].right = Element(kRowNames[r].right);
        for (u32 j = 0; j < 2; ++j) m_rows[r].cursor[j] = Element(kRowNames[r].cursor[j]);
    }
}

i32 CSelectCard::Load(u32 slot, u32 local, CSceneObject* source)
{
    if (!source) return 0;
    m_group = new CSceneObject(*source, source->GetOwnerList());
    if (!source->GetOwnerList()) {
        // Nothing to own it: a card keeps no group rather than leak one.
        delete m_group;
        m_group = nullptr;
        return 0;
    }
    FindElements();
    m_record[kSlot] = slot;
    m_record[kLocal] = local;
    m_state.position.x = f32(slot) * kColumn;
    HideRows();
    SetCharacter(m_record[kCharacter], true);
    SetType(m_record[kType]);
    SetKind(m_record[kKind]);
    if (m_record[kKind] != kKindNone) ShowCharacter(m_record[kCharacter]);
    SetTeam(m_record[kTeam]);
    SetColour(m_record[kColour]);
    const u32 skills[3] = {m_record[kSkill0], m_record[kSkill0 + 1], m_record[kSkill0 + 2]};
    SetSkills(skills);
    SetHand(m_record[kHand]);
    SetCpuSkill(m_record[kCpuSkill]);
    m_popTime = kPopSeconds;
    return 1;
}

void CSelectCard::ShowCharacter(u32 character)
{
    for (u32 c = 0; c < kEntries; ++c) {
        Show(m_characters[c].name, c == character);
        Show(m_characters[c].portrait, c == character);
        Show(m_characters[c].image, c == character);
    }
}

void CSelectCard::StartBounce(u32 row, u32 direction)
{
    RowParts& parts = m_rows[row];
    parts.active = 1;
    parts.time = 0.0f;
    parts.direction = direction;
}

void CSelectCard::Increase(u32 row)
{
    u32* r = m_record;
    switch (row) {
    case kRowPlayer:
        if (r[kKind] == kKindComputer) SetKind(kKindNone);
        else if (r[kKind] == kKindNone) SetKind(r[kNetwork] ? kKindComputer : r[kSlot]);
        else SetKind(kKindComputer);
        break;
    case kRowTeam: SetTeam(Wrap(r[kTeam], 1, 4)); break;
    case kRowName: SetCharacter(Wrap(r[kCharacter], 1, kCharacters + 1), true); break;
    case kRowColour: SetColour(Wrap(r[kColour], 1, 4)); break;
    case kRowType: SetType(Wrap(r[kType], 1, 2)); break;
    case kRowCpuSkill: SetCpuSkill(r[kCpuSkill] ? 0 : 1); break;
    case kRowHand: SetHand(Wrap(r[kHand], 1, 5)); break;
    default: return;
    }
    StartBounce(row, 1);
}

void CSelectCard::Decrease(u32 row)
{
    u32* r = m_record;
    switch (row) {
    case kRowPlayer:
        if (r[kKind] == kKindComputer) SetKind(r[kNetwork] ? kKindNone : r[kSlot]);
        else if (r[kKind] == kKindNone) SetKind(kKindComputer);
        else SetKind(kKindNone);
        break;
    case kRowTeam: SetTeam(Wrap(r[kTeam], -1, 4)); break;
    case kRowName: SetCharacter(Wrap(r[kCharacter], -1, kCharacters + 1), false); break;
    case kRowColour: SetColour(Wrap(r[kColour], -1, 4)); break;
    case kRowType: SetType(Wrap(r[kType], -1, 2)); break;
    case kRowCpuSkill: SetCpuSkill(r[kCpuSkill] ? 0 : 1); break;
    case kRowHand: SetHand(Wrap(r[kHand], -1, 5)); break;
    default: return;
    }
    StartBounce(row, 0);
}

void CSelectCard::Apply(const u32* entry)
{
    if (!entry) return;
    SetKind(std::min(entry[kKind], kKindNone));
    if (entry[kKind] != kKindNone) {
        const u32 character = std::min(entry[kCharacter], kRandom);
        ShowCharacter(character);
        m_record[kCharacter] = character;
        m_record[kDrawnCharacter] = entry[kDrawnCharacter] % kCharacters;
    }
    SetType(entry[kType] % 2);
    SetTeam(entry[kTeam] % 4);
    SetColour(entry[kColour] % 4);
    SetSkills(entry + kSkill0);
    SetHand(entry[kHand] % 5);
    std::memcpy(m_record, entry, kEntryWords * 4);
}

void CSelectCard::ShowRow(u32 row)
{
    for (u32 r = 0; r < kRowCount; ++r) {
        RowParts& parts = m_rows[r];
        Show(parts.left, r == row);
        Show(parts.right, r == row);
        for (CSceneObject* c : parts.cursor) Show(c, r == row);
        parts.active = 0;
        parts.time = 0.0f;
        if (parts.left) parts.left->SetOffset(0.0f, 0.0f);
        if (parts.right) parts.right->SetOffset(0.0f, 0.0f);
    }
}

void CSelectCard::HideRows() { ShowRow(kRowCount); }

void CSelectCard::BlendRowCursor(u32 from, u32 to, f32 fraction)
{
    if (from >= kRowCount || to >= kRowCount) return;
    for (u32 j = 0; j < 2; ++j) {
        CSceneObject* a = m_rows[from].cursor[j];
        CSceneObject* b = m_rows[to].cursor[j];
        if (a && b) a->BlendTo(b, std::clamp(fraction, 0.0f, 1.0f), -1.0f);
    }
}

void CSelectCard::SetKind(u32 kind)
{
    kind = std::min(kind, kKindNone);
    m_record[kKind] = kind;
    for (u32 i = 0; i < 6; ++i) Show(m_kinds[i], i == kind);
    SetCharacter(m_record[kCharacter], true);
    const u32 skills[3] = {m_record[kSkill0], m_record[kSkill0 + 1], m_record[kSkill0 + 2]};
    SetSkills(skills);
    SetCpuSkill(m_record[kCpuSkill]);
    const bool shown = kind != kKindNone;
    Show(m_characters[kNobody].portrait, !shown);
    if (m_record[kCharacter] <= kRandom) Show(m_characters[m_record[kCharacter]].portrait, shown);
    for (Named n : {kElName, kElTeam, kElColour, kElType, kElCustom, kElHand, kElHandItem}) Show(m_named[n], shown);
}

void CSelectCard::SetTeam(u32 team)
{
    m_record[kTeam] = team;
    for (u32 i = 0; i < 4; ++i) Show(m_teams[i], i == team);
}

void CSelectCard::SetColour(u32 colour)
{
    m_record[kColour] = colour;
    for (u32 i = 0; i < 4; ++i) Show(m_colours[i], i == colour);
}

void CSelectCard::SetHand(u32 hand) { m_record[kHand] = hand; }

void CSelectCard::SetCpuSkill(u32 flag)
{
    m_record[kCpuSkill] = flag;
    Show(m_cpuOn, flag == 1);
    Show(m_cpuOff, flag == 0);
}

void CSelectCard::SetReady(u32 flag)
{
    if (m_record[kKind] != kKindNone) m_record[kReady] = flag;
}

void CSelectCard::LookUpSkills(u32 character, u32 type)
{
    CGameApp* app = GetGameApp();
    const CSaveData* save = app ? app->GetSaveData() : nullptr;
    if (!save) return;
    const GameDataItem* item = nullptr;
    if (m_record[kLocal]) item = save->GetSkillSet(i32(character), 0, i32(type));
    else if (!m_record[kNetwork]) item = save->GetSkillSet(i32(character), i32(m_record[kSlot]), i32(type));
    else return;   // another side's card: its owner sends the skills
    if (item) std::copy(item->value, item->value + 3, m_record + kSkill0);
}

void CSelectCard::RefreshSkills()
{
    if (m_record[kCharacter] == kRandom) {
        if (m_record[kKind] == kKindComputer) SetCpuSkill(m_record[kCpuSkill]);
        else LookUpSkills(m_record[kDrawnCharacter], m_record[kDrawnType]);
    } else {
        LookUpSkills(m_record[kCharacter], m_record[kType]);
    }
}

void CSelectCard::SetCharacter(u32 character, bool /*upward*/)
{
    // Every character is offered, so the direction never skips one.
    character = std::min(character, kRandom);
    if (character != m_record[kCharacter]) m_popTime = 0.0f;
    m_record[kCharacter] = character;
    ShowCharacter(character);
    if (character == kRandom) {
        m_record[kDrawnCharacter] = RandomInt(kCharacters);
        m_record[kDrawnType] = RandomInt(2);
    }
    RefreshSkills();
    if (m_record[kKind] == kKindNone) std::fill(m_record + kSkill0, m_record + kSkill0 + 3, 0u);
    SetType(m_record[kType]);
    const u32 skills[3] = {m_record[kSkill0], m_record[kSkill0 + 1], m_record[kSkill0 + 2]};
    SetSkills(skills);
}

void CSelectCard::SetType(u32 type)
{
    m_record[kType] = type % 2;
    const u32 character = m_record[kCharacter];
    for (u32 c = 0; c < kCharacters; ++c) {
        for (u32 t = 0; t < 2; ++t) Show(m_characters[c].types[t], c == character && t == m_record[kType]);
    }
    RefreshSkills();
    if (m_record[kKind] == kKindNone) std::fill(m_record + kSkill0, m_record + kSkill0 + 3, 0u);
}

const CSkillList* CSelectCard::Skills() const
{
    CScene* owner = GetOwner();
    const CSkillList* skills = nullptr;
    if (owner) owner->OnMessage(kSkillQuery, reinterpret_cast<intptr_t>(&skills));
    return skills;
}

void CSelectCard::SetSkills(const u32* skills)
{
    for (u32 k = 0; k < kSkillKinds; ++k) {
        Show(m_mystery[k], false);
        Show(m_empty[k], false);
    }
    if (skills != m_record + kSkill0) std::copy(skills, skills + 3, m_record + kSkill0);
    const CSkillList* list = Skills();
    for (u32 k = 0; k < kSkillKinds; ++k) {
        if (m_record[kKind] == kKindNone) Show(m_empty[k], true);
        else if (m_record[kCharacter] == kRandom) Show(m_mystery[k], true);
        else if (!SkillAt(list, m_record[kSkill0 + k])) Show(m_empty[k], true);
    }
}

void CSelectCard::PickCpuSkills()
{
    if (!IsRandomComputer()) return;
    if (m_record[kCpuSkill]) {
        const u32* set = kCpuSkillTable[RandomInt(kCpuSkillSets)];
        std::copy(set, set + 3, m_record + kSkill0);
    } else {
        std::fill(m_record + kSkill0, m_record + kSkill0 + 3, 0u);
    }
}

f32 CSelectCard::ArrowOffset(u32 row) const
{
    if (row >= kRowCount || !m_rows[row].active) return 0.0f;
    const f32 d = menu::ArrowBounce(m_rows[row].time);
    return m_rows[row].direction ? d : -d;
}

i32 CSelectCard::Update(u32 /*argument*/)
{
    const f32 dt = GetFrameTime();
    for (u32 r = 0; r < kRowCount; ++r) {
        RowParts& parts = m_rows[r];
        if (!parts.active) continue;
        parts.time += dt;
        if (parts.time >= kBounceSeconds) {
            parts.active = 0;
            parts.time = 0.0f;
            if (parts.left) parts.left->SetOffset(0.0f, 0.0f);
            if (parts.right) parts.right->SetOffset(0.0f, 0.0f);
            continue;
        }
        CSceneObject* moving = parts.direction ? parts.right : parts.left;
        if (moving) moving->SetOffset(ArrowOffset(r), 0.0f);
    }
    m_popTime += dt;
    return 1;
}

i32 CSelectCard::Draw(u32 /*argument*/)
{
    if (!m_group) return 0;
    CLayerState state = m_state;
    for (Named n : {kElImage, kElPlayer, kElTeam, kElName, kElColour}) {
        if (m_named[n]) m_named[n]->Draw(&state);
    }
    const u32 character = m_record[kCharacter];
    if (m_popTime < kPopSeconds && character < kEntries && m_characters[character].name) {
        const f32 t = m_popTime / kPopSeconds;
        CLayerState pop = state;
        pop.scaleX = pop.scaleY = 1.2f - 0.2f * t;
        pop.colour.w = 1.0f - t;
        m_characters[character].name->Draw(&pop);
    }
    if (m_named[kElType]) m_named[kElType]->Draw(&state);
    if (IsRandomComputer()) {
        if (m_named[kElCpuSkill]) m_named[kElCpuSkill]->Draw(&state);
    } else {
        if (m_named[kElCustom]) m_named[kElCustom]->Draw(&state);
        if (m_record[kKind] != kKindNone && character != kRandom) {
            const CSkillList* list = Skills();
            for (u32 k = 0; k < kSkillKinds; ++k) {
                const CSkillSetting* skill = SkillAt(list, m_record[kSkill0 + k]);
                // An orb number outside the 45 images draws nothing.
                if (!skill || skill->values.imageId < 0 || u32(skill->values.imageId) >= kOrbCount) continue;
                CSceneObject* orb = m_orbs[skill->values.imageId];
                CSceneObject* at = m_empty[k];
                if (!orb || !at) continue;
                CLayerState placed = state;
                const CLayerState& from = orb->GetScreenState();
                const CLayerState& to = at->GetScreenState();
                // Layout units, whatever the orb's own size.
                const CLayerState& fit = orb->GetFitState();
                const f32 sx = fit.scaleX != 0.0f ? fit.scaleX : 1.0f;
                const f32 sy = fit.scaleY != 0.0f ? fit.scaleY : 1.0f;
                placed.position.x += (to.position.x - from.position.x) / sx;
                placed.position.y += (to.position.y - from.position.y) / sy;
                const u32 visible = orb->GetSettings().visible;
                orb->SetVisible(1);
                orb->Draw(&placed);
                orb->SetVisible(visible);
            }
        }
    }
    if (m_named[kElHand]) m_named[kElHand]->Draw(&state);
    if (m_named[kElHandItem]) {
        for (u32 i = 0; i < std::min(m_record[kHand], 4u); ++i) {
            CLayerState item = state;
            item.position.x += 36.0f * f32(i);
            m_named[kElHandItem]->Draw(&item);
        }
    }
    if (m_record[kReady] && m_named[kElOk]) m_named[kElOk]->Draw(&state);
    return 1;
}
