// Event camera flights for the tests and the fuzz seeds.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/graphics/ActiveCamera.h"
#include "game/battle/object/EventCamera.h"

namespace battle_test {

// Track 0, enabled before 0.25 s: looks at (1, 2, 3) from (0, 0, 15).
// Track 1, enabled before 0.45 s, on the second reference pair: looks at
// (4, 5, 6) from (0, 0, 20), both moved by the second position.
inline void FillSampleFlight(CEventCamera& flight)
{
    CActiveCamera* first = flight.AddTrack();
    first->GetPositionTrack().AddKey(0, CSegment(CVector3(), CVector3(1, 2, 3)));
    first->GetTargetPositionTrack().AddKey(0, CSegment(CVector3(), CVector3(0, 0, 5)));
    first->GetEnableTrack().AddKey(0, 1);
    first->GetEnableTrack().AddKey(0.25f, 0);
    CActiveCamera* second = flight.AddTrack();
    second->GetPositionTrack().AddKey(0, CSegment(CVector3(), CVector3(4, 5, 6)));
    second->GetDistanceTrack().AddKey(0, 20);
    second->GetTargetTrack().AddKey(0, 1);
    second->GetEnableTrack().AddKey(0, 1);
    second->GetEnableTrack().AddKey(0.45f, 0);
}

// One track, always enabled: looks at (7, 8, 9) from (0, 0, 10).
inline void FillOneShot(CEventCamera& flight)
{
    CActiveCamera* track = flight.AddTrack();
    track->GetPositionTrack().AddKey(0, CSegment(CVector3(), CVector3(7, 8, 9)));
    track->GetEnableTrack().AddKey(0, 1);
}

}  // namespace battle_test
