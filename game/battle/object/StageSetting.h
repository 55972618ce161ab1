// CStageSetting: the settings of one stage: the models and effects it names,
// its box, fog, wall fading, screen shake, clouds and the four start points.
// The battle scene loads one per battle and hands it to the stage.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/data/SettingFile.h"

// Where fighter slot n starts: keys "START0%d..." with n = slot + 1.
struct StageStartPoint {
    CVector3 position;   // POSITIONX, Y, Z
    CVector3 angle;      // ANGLEX, Y, Z, degrees
};

// The numeric block, in the order the stage hands it on.
struct StageParameters {
    CBox box;                              // STAGEMINX..Z, STAGEMAXX..Z
    u8 fogColor[3];                        // FOGCOLORR, G, B
    f32 fogStart;                          // FOGSTART
    f32 fogEnd;                            // FOGEND
    f32 minVisible;                        // MINVISIBLE
    f32 maxVisible;                        // MAXVISIBLE
    f32 smallVibratePow;                   // SMALLVIBRATEPOW
    f32 largeVibratePow;                   // LARGEVIBRATEPOW
    f32 vibrateDeceleration;               // VIBRATEDECELERATION
    f32 vibrateSpeed;                      // VIBRATESPEED
    f32 vibrateTime;                       // VIBRATETIME
    f32 cloudInterval;                     // CLOUDINTERVAL
    CVector3 cloudPositionOffset;          // CLOUDPOSITIONOFFSET (and ...X, Y, Z)
    CVector3 traceCloudPositionOffset;     // TRACECLOUDPOSITIONOFFSET (and ...X, Y, Z)
    StageStartPoint start[4];
};

class CStageSetting : public CSettingFile {
public:
    static constexpr u32 kStartCount = 4;
    // NAME and every key of the stage.
    static constexpr u32 kKeyCount = 1 + 12 + 3 + 10 + 8 + 6 + kStartCount * 6;

    CStageSetting() = default;
    CStageSetting(const CStageSetting& other) = default;

    // 0 when the key map cannot be built or a key is refused (two names
    // of one hash would drop the second silently).
    i32 RegisterKeys() override;
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override;

    StageParameters* GetParameters() { return &parameters; }
    const StageParameters* GetParameters() const { return &parameters; }

    CString effect;                    // EFFECT: ambient effect attached to the stage
    CString base;                      // BASE: the model drawn
    CString hit;                       // HIT: the collision model
    CString enclosureXP;               // ENCLOSUREXP: wall on the +X face
    CString enclosureXM;               // ENCLOSUREXM
    CString enclosureZP;               // ENCLOSUREZP
    CString enclosureZM;               // ENCLOSUREZM
    CString darkMesh;                  // DARKMESH
    CString cloudEffectName;           // CLOUDEFFECTNAME
    CString traceCloudEffectName;      // TRACECLOUDEFFECTNAME
    CString highTensionFieldEffectName;   // HITENTIONFIELDEFFECTNAME
    CString climaxFieldEffectName;     // CLIMAXFIELDEFFECTNAME
    StageParameters parameters{};
};
