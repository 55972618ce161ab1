#include "game/battle/object/CameraParameter.h"

#include <string>

namespace {

struct Row {
    const char* prefix;
    u32 mode;
};

struct Column {
    const char* suffix;
    f32 defaultValue;
};

// Registration order; the block order is the mode number.
constexpr Row kRows[] = {
    {"NORMAL", kCameraNormal},       {"NEAR", kCameraNear},
    {"LOCK", kCameraLock},           {"SHOOTOUT", kCameraShootOut},
    {"SLIDEATTACK", kCameraSlideAttack}, {"RESULT", kCameraResult},
};

constexpr Column kColumns[CCameraParameter::kColumnCount] = {
    {"DISTANCE", 1.0f},          {"OFFSETX", 2.0f},          {"OFFSETY", 2.0f},
    {"TARGETOFFSETX", 0.0f},     {"TARGETOFFSETY", 0.0f},    {"VERTICALANGLEMIN", -30.0f},
    {"VERTICALANGLEMAX", 30.0f}, {"LENGTHMAX", 5.0f},        {"TRACELENGTHMAX", 0.5f},
    {"RETURNLENGTH", 0.0f},      {"FOV", 60.0f},             {"MOVEVELOCITY", 1.0f},
    {"MOVEACCELERATION", 1.0f},  {"EXCESSVELOCITY", 1.0f},   {"ROTATIONVELOCITY", 360.0f},
    {"CHANGETIME", 0.0f},
};

f32 DefaultOf(u32 mode, u32 column)
{
    if (mode == kCameraNormal) {
        if (column == kCameraLengthMax) return 6.0f;
        if (column == kCameraMoveVelocity) return 10.0f;
        if (column == kCameraExcessVelocity) return 3.0f;
    }
    return kColumns[column].defaultValue;
}

}  // namespace

i32 CCameraParameter::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    i32 ok = 1;
    for (const Row& row : kRows) {
        for (u32 column = 0; column < kColumnCount; ++column) {
            // The last two rows keep their excess velocity at 0.
            if (column == kCameraExcessVelocity && row.mode >= kCameraSlideAttack) continue;
            std::string key = std::string(row.prefix) + kColumns[column].suffix;
            // The files have always spelt this one so.
            if (row.mode == kCameraLock && column == kCameraMoveAcceleration) key = "LCOKMOVEACCELERATION";
            ok &= RegisterKey(key.c_str(), &values[row.mode * kColumnCount + column], DefaultOf(row.mode, column));
        }
    }
    if (!ok) CSettingFile::Clear();
    return ok;
}

i32 CCameraParameter::OnLoaded(const CStatusKeyMap*) { return 1; }
