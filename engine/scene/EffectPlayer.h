// CEffectPlayer: a placed object that carries a play record and a "Play"
// track for an effect, a text and one object of its own. It draws and
// updates nothing itself.
#pragma once

#include "engine/core/KeyFrameList.h"
#include "engine/core/ObjectBase.h"
#include "engine/core/Types.h"
#include "engine/scene/Effect.h"

#include <cstdint>

class CEffectPlayer : public CObjectBase {
    ORV_VALUE_CLASS(CEffectPlayer)

public:
    // Named "EffectPlayer"; scaling and colour 1.
    CEffectPlayer();
    // The record and track copied; the text copied; the owned object cloned.
    CEffectPlayer(const CEffectPlayer& other);
    CEffectPlayer& operator=(const CEffectPlayer&) = delete;
    ~CEffectPlayer() override;

    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    // Frees the text and deletes the owned object, then the name. 1.
    i32 Release() override;

    EffectPlayParams& GetParams() { return m_params; }
    CKeyFrameList<f32>& GetPlayTrack() { return m_play; }
    const char* GetText() const { return m_text; }
    // A copy of text (null: none).
    void SetText(const char* text);
    CValueBase* GetOwned() const { return m_owned; }
    // Takes object, deleting the one held before.
    void SetOwned(CValueBase* object);

private:
    EffectPlayParams m_params;
    CKeyFrameList<f32> m_play{"Play", 0.0f, 0};
    char* m_text = nullptr;
    CValueBase* m_owned = nullptr;
};
