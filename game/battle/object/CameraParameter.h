// CCameraParameter: the tuning of a fighter's battle camera, six modes of
// the same sixteen values. A fighter's parameter set names the file under
// "CAMERA" and hands a copy of the loaded set to its camera.
#pragma once

#include "engine/core/Types.h"
#include "game/data/SettingFile.h"

// Rows of the block: the camera mode numbers.
enum CameraMode : u32 {
    kCameraNormal = 0,
    kCameraLock = 1,
    kCameraNear = 2,
    kCameraShootOut = 3,
    kCameraSlideAttack = 4,
    kCameraResult = 5,
};

// Columns of a row.
enum CameraColumn : u32 {
    kCameraDistance = 0,
    kCameraOffsetX,
    kCameraOffsetY,
    kCameraTargetOffsetX,
    kCameraTargetOffsetY,
    kCameraVerticalAngleMin,
    kCameraVerticalAngleMax,
    kCameraLengthMax,
    kCameraTraceLengthMax,
    kCameraReturnLength,
    kCameraFov,
    kCameraMoveVelocity,
    kCameraMoveAcceleration,
    kCameraExcessVelocity,
    kCameraRotationVelocity,
    kCameraChangeTime,
};

class CCameraParameter : public CSettingFile {
public:
    static constexpr u32 kModeCount = 6;
    static constexpr u32 kColumnCount = 16;
    static constexpr u32 kValueCount = kModeCount * kColumnCount;
    // NAME, then 16 keys for each of the first four rows and 15 for the
    // last two, which have no EXCESSVELOCITY.
    static constexpr u32 kKeyCount = 1 + 4 * 16 + 2 * 15;

    CCameraParameter() = default;
    // Shares the key map; the values are the copy's own.
    CCameraParameter(const CCameraParameter& other) = default;

    // 0 when the key map cannot be built or a key is refused.
    i32 RegisterKeys() override;
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override;

    // Row mode, column column; 0 outside the block.
    f32 Get(u32 mode, u32 column) const
    {
        return mode < kModeCount && column < kColumnCount ? values[mode * kColumnCount + column] : 0.0f;
    }

    // Row m column c is value 16 m + c.
    f32 values[kValueCount] = {};
};
