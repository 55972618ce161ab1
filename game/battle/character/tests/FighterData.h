// A small but whole fighter, written with the project's own writers into
// the current folder: what the battle loads for one character.
//
//   Chr_<name>.txt   the character parameter text (RESOURCE, bones,
//                    hit sphere, weapon, a few figures; the rest default)
//   Camera.txt       camera settings
//   Barrage.txt      one barrage: one pattern (Pattern.txt) of one bullet
//                    (Bullet.txt); every barrage slot uses it
//   Spell.txt        one spell card; every spell slot uses it
//   Gohei.txt        a weapon on the arm bone
//   Chara.fac        the face file, one expression
//   Skill.txt        the skill list: Guard.txt (HP x2, GUARDTIME x1.5,
//                    three attacks) and Plain.txt (no flag: changes nothing)
//   Fighter.mdl      the model: bones root > Body > Neck, Arm, and the
//                    default motions Wait, Move, DashStart, Dash, DashStop,
//                    SlideFront ... SlideStopDown and Attack02, three keys each
#pragma once

#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/ModelMeshes.h"
#include "game/battle/character/tests/FaceFileWriter.h"
#include "game/data/tests/SettingTestSupport.h"
#include "game/data/tests/SettingWriter.h"

#include <string>

namespace fighter_test {

inline constexpr const char* kFighterMotions[] = {
    "Wait", "Move", "DashStart", "Dash", "DashStop", "SlideFront", "SlideStopFront", "SlideBack", "SlideStopBack",
    "SlideLeft", "SlideStopLeft", "SlideRight", "SlideStopRight", "SlideUp", "SlideStopUp", "SlideDown",
    "SlideStopDown", "Attack02",
};

// The fighter's model: one quad skinned to Body, and every motion turning
// Body a little further over three keys.
inline std::string FighterModel()
{
    CMesh mesh;
    auto* body = new CModelObject();
    body->SetName("Body");
    CModelVertexList& v = *body->GetVertexList();
    v.Resize(4);
    v.FormatFlags = kVertexPosition | kVertexNormal;
    v.Stride = 24;
    const f32 corners[4][2] = {{-0.5f, 0}, {0.5f, 0}, {0.5f, 1.5f}, {-0.5f, 1.5f}};
    for (u32 i = 0; i < 4; ++i) {
        v.GetAt(i)->Position.Set(corners[i][0], corners[i][1], 0);
        v.GetAt(i)->Normal.Set(0, 0, -1);
    }
    model_test::SetIndices(*body->GetIndexList(), {0, 1, 2, 0, 2, 3}, {{0, 6}});
    void* material = new CModelMaterial();
    body->GetMaterialList()->Add(&material);
    AppendElement(mesh.GetModelObjects(), body);

    model_test::NewBone(mesh, "root", nullptr);
    CModelBone* bodyBone = model_test::NewBone(mesh, "Body", "root");
    model_test::NewBone(mesh, "Neck", "Body")->Transform.m[3][1] = 1.4f;
    model_test::NewBone(mesh, "Arm", "Body")->Transform.m[3][0] = 0.5f;
    for (u32 i = 0; i < 4; ++i) {
        const CBoneInfluence influence{0, i, 1.0f};
        bodyBone->Influences.Add(&influence);
    }
    u32 n = 0;
    for (const char* name : kFighterMotions) {
        CModelBoneAnimation* keys = model_test::AddKeys(*model_test::AddAnimation(mesh, name), "Body");
        const f32 s = 0.05f * f32(++n);
        keys->MakeRotation()->AddKey(0, CQuaternion(0, 0, 0, 1));
        keys->MakeRotation()->AddKey(2400, CQuaternion(0, s, 0, 1));
        keys->MakeRotation()->AddKey(4800, CQuaternion(0, 0, 0, 1));
    }
    for (u32 i = 0; i < n; ++i) mesh.GetAnimation(i)->RebindBones(mesh.GetBones());
    return CWriteMesh::Build(mesh);
}

inline setting_test::SettingWriter FighterParameter(const std::string& name)
{
    setting_test::SettingWriter w;
    w.Set("NAME", name.c_str()).Set("RESOURCE", "Fighter.mdl");
    w.Set("HP", 800).Set("NORMALATTACKCOUNT", 2).Set("HITENSIONATTACKCOUNT", 4).Set("CLIMAXTENSIONATTACKCOUNT", 5);
    w.Set("GUARDTIME", 2.0f).Set("GUARDRELOAD", 1.0f).Set("BARRAGEAAMMUNITION", 30).Set("BARRAGEBAMMUNITION", 12);
    w.Set("NECKBONE", "Neck").Set("BODYBONE", "Body").Set("ARMBONE", "Arm");
    w.Set("HITSPHERE", "radius:0.5 bone:\"Body\"").Set("HITSPHERE", "radius:0.3 bone:\"Tail\"");
    w.Set("WEAPON", "Gohei.txt");
    w.Set("EFFECTBONENAME", "Body").Set("EFFECTBONENAME", "Arm");
    return w;
}

// Writes every file above for the fighter name into the current folder.
inline void WriteFighter(const std::string& name = "Test")
{
    using setting_test::SettingWriter;
    using setting_test::WriteBytes;
    FighterParameter(name).Save("Chr_" + name + ".txt");
    SettingWriter().Set("NAME", "camera").Save("Camera.txt");
    SettingWriter().Set("NAME", "barrage").Set("PATTERN", "Pattern.txt").Save("Barrage.txt");
    SettingWriter().Set("NAME", "pattern").Set("BULLET", "Bullet.txt").Save("Pattern.txt");
    SettingWriter().Set("NAME", "bullet").Set("POW", 10.0f).Save("Bullet.txt");
    SettingWriter().Set("NAME", "spell").Set("RELOAD", 8.0f).Save("Spell.txt");
    SettingWriter().Set("BONE", "Arm").Set("RESOURCE", "Non Name").Set("SHOWFLG", 1).Save("Gohei.txt");
    WriteBytes("Chara.fac", face_test::FaceFileBytes({{"normal", {{{0, 0}}, {{0, 1}}}}}, {0}));
    SettingWriter().Set("SKILL", "Guard.txt").Set("SKILL", "Plain.txt").Save("Skill.txt");
    SettingWriter()
        .Set("FLAG1", (1 << 4) | (1 << 15))
        .Set("FLAG2", 1 << 18)
        .Set("BASEHP", 2.0f)
        .Set("GUARDTIME", 1.5f)
        .Set("BASEATTACKCOUNT", 3)
        .Save("Guard.txt");
    SettingWriter().Set("GUARDTIME", 9.0f).Save("Plain.txt");
    WriteBytes("Fighter.mdl", FighterModel());
}

}  // namespace fighter_test
