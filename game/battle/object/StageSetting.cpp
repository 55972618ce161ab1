#include "game/battle/object/StageSetting.h"

#include <cstdio>
#include <string>
#include <utility>

i32 CStageSetting::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    i32 ok = 1;
    const CString none("Non Name");
    const struct {
        const char* key;
        CString* member;
    } texts[] = {
        {"EFFECT", &effect},
        {"BASE", &base},
        {"HIT", &hit},
        {"ENCLOSUREXP", &enclosureXP},
        {"ENCLOSUREXM", &enclosureXM},
        {"ENCLOSUREZP", &enclosureZP},
        {"ENCLOSUREZM", &enclosureZM},
        {"DARKMESH", &darkMesh},
        {"CLOUDEFFECTNAME", &cloudEffectName},
        {"TRACECLOUDEFFECTNAME", &traceCloudEffectName},
        {"HITENTIONFIELDEFFECTNAME", &highTensionFieldEffectName},
        {"CLIMAXFIELDEFFECTNAME", &climaxFieldEffectName},
    };
    for (const auto& t : texts) ok &= RegisterKey(t.key, t.member, none);

    StageParameters& p = parameters;
    ok &= RegisterKey("FOGCOLORR", &p.fogColor[0], u8(255));
    ok &= RegisterKey("FOGCOLORG", &p.fogColor[1], u8(255));
    ok &= RegisterKey("FOGCOLORB", &p.fogColor[2], u8(255));
    const struct {
        const char* key;
        f32* member;
        f32 defaultValue;
    } floats[] = {
        {"FOGSTART", &p.fogStart, 1.0f},
        {"FOGEND", &p.fogEnd, 1000.0f},
        {"MINVISIBLE", &p.minVisible, 2.0f},
        {"MAXVISIBLE", &p.maxVisible, 10.0f},
        {"SMALLVIBRATEPOW", &p.smallVibratePow, 5.0f},
        {"LARGEVIBRATEPOW", &p.largeVibratePow, 7.5f},
        {"VIBRATEDECELERATION", &p.vibrateDeceleration, 10.0f},
        {"VIBRATESPEED", &p.vibrateSpeed, 1.0f},
        {"VIBRATETIME", &p.vibrateTime, 1.0f},
        {"CLOUDINTERVAL", &p.cloudInterval, 0.0f},
    };
    for (const auto& f : floats) ok &= RegisterKey(f.key, f.member, f.defaultValue);

    // A component key and its vector key share the floats: the value read
    // last wins.
    for (auto [key, vector] : {std::pair{"CLOUDPOSITIONOFFSET", &p.cloudPositionOffset},
             std::pair{"TRACECLOUDPOSITIONOFFSET", &p.traceCloudPositionOffset}}) {
        ok &= RegisterKey(key, vector, CVector3());
        const std::string name = key;
        ok &= RegisterKey((name + "X").c_str(), &vector->x, 0.0f);
        ok &= RegisterKey((name + "Y").c_str(), &vector->y, 0.0f);
        ok &= RegisterKey((name + "Z").c_str(), &vector->z, 0.0f);
    }

    const struct {
        const char* key;
        f32* member;
        f32 defaultValue;
    } box[] = {
        {"STAGEMINX", &p.box.min.x, -100.0f},
        {"STAGEMINY", &p.box.min.y, -100.0f},
        {"STAGEMINZ", &p.box.min.z, -100.0f},
        {"STAGEMAXX", &p.box.max.x, 100.0f},
        {"STAGEMAXY", &p.box.max.y, 100.0f},
        {"STAGEMAXZ", &p.box.max.z, 100.0f},
    };
    for (const auto& f : box) ok &= RegisterKey(f.key, f.member, f.defaultValue);

    for (u32 n = 1; n <= kStartCount; ++n) {
        StageStartPoint& start = p.start[n - 1];
        const struct {
            const char* field;
            f32* member;
        } fields[] = {
            {"POSITIONX", &start.position.x}, {"POSITIONY", &start.position.y}, {"POSITIONZ", &start.position.z},
            {"ANGLEX", &start.angle.x},       {"ANGLEY", &start.angle.y},       {"ANGLEZ", &start.angle.z},
        };
        for (const auto& field : fields) {
            char key[32];
            std::snprintf(key, sizeof key, "START0%u%s", n, field.field);
            ok &= RegisterKey(key, field.member, 1.0f);
        }
    }
    if (!ok) CSettingFile::Clear();
    return ok;
}

i32 CStageSetting::OnLoaded(const CStatusKeyMap*) { return 1; }
