// Any bytes as a pattern list, text or cache (see ShotDriver.h); a list that
// loads is then fired as a barrage for a few frames, so hostile counts,
// waits and placements meet the volley code too.
#include "engine/core/ObjectRegistry.h"
#include "engine/core/Scene.h"
#include "engine/platform/FrameTime.h"
#include "fuzz/drivers/ShotDriver.h"
#include "game/battle/object/Barrage.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletPasses.h"

#include <algorithm>

namespace {

// Takes the bullets the barrage fires, as the battle scene does.
class Scene : public CScene {
    ORV_VALUE_CLASS(Scene)

public:
    Scene() = default;
    // The answers, not the bullets.
    Scene(const Scene& other) : CScene(other) {}
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 OnMessage(u32 message, intptr_t parameter) override
    {
        return message == kMsgNewBullet ? bullets.Add(reinterpret_cast<CBullet*>(parameter)) : 0;
    }
    CBulletList bullets;
};

void Fire(const CPatternListParameter& definition)
{
    CObjectRegistry* saved = GetObjectRegistry();
    CObjectRegistry registry;
    Scene scene;
    registry.SetHandler(&scene);
    SetObjectRegistry(&registry);
    SetFrameTime(250);
    {
        CBarrage shooter, target, barrage(&definition);
        const CVector3 ahead(0.0f, 0.0f, -10.0f);
        target.SetPosition(&ahead);
        target.UpdateMatrix();
        FUZZ_CHECK(barrage.LoadResource(nullptr) == 1);
        ShooterRecord record;
        record.shooter = record.firingObject = &shooter;
        record.target = &target;
        for (int frame = 0; frame < 3; ++frame) {
            barrage.Update(&record);
            FUZZ_CHECK(barrage.GetPatternStateCount() ==
                       std::min(definition.GetPatternCount(), CPatternListParameter::kMaxPatterns));
        }
        scene.bullets.DeleteAll();
    }
    SetObjectRegistry(saved);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::LoadShotSetting<CPatternListParameter>(data, size);
    CPatternListParameter list;
    if (list.LoadFile("input.txt", &fuzz::ShotAliases())) Fire(list);
    return 0;
}
