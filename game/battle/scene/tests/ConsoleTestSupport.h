// HUD console tests: the layout read back from the layout writer's bytes and
// drawn on the fake render backend, a battle scene that records what the
// consoles tell it, scripted pads and fighters.
#pragma once

#include "engine/core/MemStream.h"
#include "engine/platform/Input.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/tests/SceneTestSupport.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/battle/scene/ConsoleBase.h"
#include "game/battle/scene/tests/ConsoleLayout.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace console_test {

// The battle scene as the consoles' owner: records every report and
// answers the questions from its fields.
class FakeConsoleScene : public battle_test::FakeBattleScene {
public:
    u32 OnMessage(u32 message, intptr_t parameter) override
    {
        u32* word = reinterpret_cast<u32*>(parameter);
        switch (message) {
        case kConsoleMsgTeamResult: *word = teamResults[*word % 4]; break;
        case kConsoleMsgBattleSettled: *word = settled; break;
        case kConsoleMsgEffectVolume: *word = u32(effectVolume); break;
        case kConsoleMsgEndCode:
        case kConsoleMsgTrainingA:
        case kConsoleMsgTrainingB: reports.emplace_back(message, *word); break;
        default: return FakeBattleScene::OnMessage(message, parameter);
        }
        return 1;
    }

    std::vector<std::pair<u32, u32>> reports;
    u32 teamResults[4] = {1, 2, 3, 3};
    u32 settled = 0;
    i32 effectVolume = 0;
};

// Pad 0 and the keyboard as the test sets them.
class FakeInput : public ConsoleInput {
public:
    const InputState* GetState(u32 slot) const override { return slot == 0 ? &pad : nullptr; }
    u32 IsKeyDown(u32 key) const override { return key == keyDown ? 1 : 0; }

    // Only code went down this frame (kInputCodeCount: nothing did).
    void Press(u32 code)
    {
        std::fill(std::begin(pad.triggered), std::end(pad.triggered), 0u);
        if (code < kInputCodeCount) pad.triggered[code] = 1;
    }

    InputState pad{};
    u32 keyDown = 0;
};

class FakeHudFighter : public HudFighter {
public:
    u32 GetTeam() const override { return team; }
    const char* GetPlayerName() const override { return playerName.c_str(); }
    const char* GetCharacterName() const override { return characterName.c_str(); }
    void GetPosition(CVector3* out) const override { *out = position; }
    CCamera* GetBattleCamera() const override { return camera; }
    u32 GetDefeatCount() const override { return defeats; }
    u32 GetKillCount() const override { return kills; }
    u32 IsComputer() const override { return computer; }
    u32 GetEntryIndex() const override { return entry; }
    const CTensionFile* GetTensionFile() const override { return tension; }
    u32 GetFixedTension() const override { return fixedTension; }
    f32 GetMusicTime() const override { return musicTime; }
    void ClearDamage() override { ++cleared; }
    void FillSparkGauge() override { ++sparked; }
    i32 GetTotalDamage() const override { return 0; }
    i32 GetHitDamage(u32) const override { return 0; }
    f32 GetTargetDownLimit() const override { return 0.0f; }
    u32 GetCharacterId() const override { return characterId; }
    i32 GetHp() const override { return hp; }
    f32 GetShownHp() const override { return shownHp; }
    f32 GetMaxHp() const override { return maxHp; }
    f32 GetMaxSpark() const override { return maxSpark; }
    f32 GetMp() const override { return mp; }
    f32 GetSparkGauge() const override { return spark; }
    u32 GetTensionLevel() const override { return tensionLevel; }
    u32 GetTargetMode() const override { return targetMode; }
    i32 GetSkillImage(u32 i) const override { return i < 3 ? skillImages[i] : -1; }
    u32 GetSkillFlags2(u32 i) const override { return i < 3 ? skillFlags2[i] : 0; }
    u32 GetWeaponSet() const override { return weaponSet; }
    u32 GetAction() const override { return action; }
    u32 GetDownKind() const override { return downKind; }
    u32 GetDangerMask() const override { return danger; }
    u32 GetPartnerAttack() const override { return partnerAttack; }
    f32 GetPartnerAttackTime() const override { return partnerTime; }
    f32 GetActionGauge(u32 k) const override { return k < 9 ? gauges[k] : 0.0f; }
    u32 GetActionCount(u32 k) const override { return k < 9 ? counts[k] : 0; }
    u32 GetActionCapacity(u32 k) const override { return k < 9 ? capacities[k] : 0; }
    u32 CanUse(u32 k) const override { return k < 9 ? usable[k] : 0; }
    f32 GetBuffTimer3() const override { return buff3; }
    const HudFighter* GetLockOnTarget() const override { return lockOn; }
    u32 IsHittable() const override { return hittable; }
    f32 GetHeight() const override { return height; }
    f32 GetNearRadius() const override { return nearRadius; }
    f32 GetYaw() const override { return yaw; }
    f32 GetCameraYaw() const override { return cameraYaw; }
    u32 GetRadarType() const override { return radarType; }

    u32 team = 0;
    std::string playerName, characterName = "Talve";
    CVector3 position;
    u32 defeats = 0, kills = 0, computer = 0, fixedTension = 0;
    u32 entry = HudFighter::kNoEntry;
    const CTensionFile* tension = nullptr;
    f32 musicTime = 0.0f;
    u32 cleared = 0, sparked = 0;
    CCamera* camera = nullptr;
    u32 characterId = 0;
    i32 hp = 0;
    f32 shownHp = 0, maxHp = 1000, maxSpark = 100, mp = 0, spark = 0;
    u32 tensionLevel = 0, targetMode = 0;
    i32 skillImages[3] = {-1, -1, -1};
    u32 skillFlags2[3] = {};
    u32 weaponSet = 0, action = 0, downKind = 0, danger = 0, partnerAttack = 0;
    f32 partnerTime = 0;
    f32 gauges[9] = {};
    u32 counts[9] = {}, capacities[9] = {}, usable[9] = {};
    f32 buff3 = 0;
    const HudFighter* lockOn = nullptr;
    u32 hittable = 0;
    f32 height = 0, nearRadius = 0, yaw = 0, cameraYaw = 0;
    u32 radarType = 0;
};

// One drawn sprite: which element (by its UVs), its top-left corner and
// its size on screen, and its colour.
struct Sprite {
    std::string name;
    f32 x, y, w, h;
    u32 colour;
};

// A device in a frame, the layout loaded and placed with the texture bound,
// and a fake scene with a resource controller.
class ConsoleTest : public scene_test::SceneDraw {
protected:
    void SetUp() override
    {
        SceneDraw::SetUp();
        scene_.resources = &resources_;
        LoadLayout();
    }

    void LoadLayout(const std::set<std::string>& omit = {})
    {
        const std::string bytes = ConsoleLayoutBytes(omit);
        CMemStream stream(bytes.data(), u32(bytes.size()));
        ASSERT_EQ(layout_.LoadFromMemory(&stream), 1u);
        layout_.SetTextureAll(&texture_);
        Place();
    }

    // The layout's per-frame placement, which takes the offsets set since.
    void Place()
    {
        layout_.Update(0);
        fake_->ClearLog();
    }

    std::vector<Sprite> Sprites() const
    {
        std::vector<Sprite> out;
        for (const scene_test::Quad& q : Quads()) {
            f32 u = 0, v = 0;
            for (const SpriteVertex& p : q.v) u += p.u / 4, v += p.v / 4;
            out.push_back({ElementAt(u, v), q.v[0].x, q.v[0].y, q.v[2].x - q.v[0].x, q.v[2].y - q.v[0].y,
                q.v[0].colour});
        }
        return out;
    }

    // A sound of that name in the controller's list (never loaded: it
    // plays nothing, but the consoles find it).
    void ListSound(const char* name)
    {
        auto* sound = new CSoundBuffer();
        sound->SetName(name);
        void* slot = sound;
        resources_.GetSoundList()->Add(&slot);
    }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> out;
        for (const Sprite& s : Sprites()) out.push_back(s.name);
        return out;
    }

    CResourceController resources_;
    FakeConsoleScene scene_;
    CSceneResource layout_;
};

}  // namespace console_test
