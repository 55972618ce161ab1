// A survival run on the data set before it holds every fighter and stage:
// the generator state from which the run's first draws land on fighters
// and a stage the set has, set as the global state.
#pragma once

#include "engine/core/Random.h"
#include "game/battle/scene/BattleProgress.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/scenes/SurvivalScene.h"

#include <gtest/gtest.h>

namespace survival_run {

// The first state of seeds 1, 2, ... from which SetupFirstBattle draws a
// computer below characters on a stage below stages; made current.
inline ::testing::AssertionResult SeedFirstBattle(const survival::HeldSlot& held, u32 characters, u32 stages,
                                                  u32 presetSkills)
{
    for (u32 seed = 1; seed < 100000; ++seed) {
        const RandomState state = SeededRandomState(seed);
        g_randomState = state;
        CBattleSetup setup;
        survival::ProgressOf(setup).presetSkills = presetSkills;
        survival::SetupFirstBattle(setup, held);
        if (setup.entries[1].character < characters && setup.option.stage < stages) {
            g_randomState = state;
            return ::testing::AssertionSuccess();
        }
    }
    return ::testing::AssertionFailure() << "no seed draws the data set's fighters";
}

}  // namespace survival_run
