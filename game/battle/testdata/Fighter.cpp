#include "game/battle/testdata/Fighter.h"

#include "engine/model/Mesh.h"
#include "engine/model/WriteMesh.h"
#include "engine/scene/ResourceController.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/ModelMeshes.h"
#include "game/battle/character/tests/FaceFileWriter.h"
#include "game/battle/testdata/ScrambledPack.h"
#include "game/battle/testdata/Sounds.h"
#include "game/data/tests/SettingTestSupport.h"
#include "host/kernel/Kernel.h"

namespace fighter_test {

using setting_test::SettingWriter;

FighterFiles FighterFiles::Plain(const std::string& name)
{
    FighterFiles f;
    f.name = name;
    return f;
}

FighterFiles FighterFiles::Prefixed(const std::string& name)
{
    FighterFiles f;
    f.name = name;
    f.model = name + ".mdl";
    f.camera = name + "_Camera.txt";
    f.barrage = name + "_Barrage.txt";
    f.pattern = name + "_Pattern.txt";
    f.bullet = name + "_Bullet.txt";
    f.spell = name + "_Spell.txt";
    f.tensionSpell = name + "_TensionSpell.txt";
    f.weapons = {name + "_Staff.txt", name + "_Shield.txt"};
    f.face = name + ".fac";
    return f;
}

namespace {

std::string BuildFighterModel(const std::vector<std::string>& motions, const u32* colour)
{
    CMesh mesh;
    auto* body = new CModelObject();
    body->SetName("Body");
    CModelVertexList& v = *body->GetVertexList();
    const u32 count = colour ? 8 : 4;
    v.Resize(count);
    v.FormatFlags = kVertexPosition | kVertexNormal;
    v.Stride = 24;
    const f32 corners[4][2] = {{-0.5f, 0}, {0.5f, 0}, {0.5f, 1.5f}, {-0.5f, 1.5f}};
    const f32 grow = colour ? 2.0f : 1.0f;
    for (u32 i = 0; i < 4; ++i) {
        v.GetAt(i)->Position.Set(corners[i][0] * grow, corners[i][1] * grow, 0);
        v.GetAt(i)->Normal.Set(0, 0, -1);
    }
    auto* material = new CModelMaterial();
    if (colour) {
        // The second quad across the first; both drawn from either side.
        for (u32 i = 0; i < 4; ++i) {
            v.GetAt(4 + i)->Position.Set(0, corners[i][1] * grow, corners[i][0] * grow);
            v.GetAt(4 + i)->Normal.Set(1, 0, 0);
        }
        model_test::SetIndices(*body->GetIndexList(),
            {0, 1, 2, 0, 2, 3, 0, 2, 1, 0, 3, 2, 4, 5, 6, 4, 6, 7, 4, 6, 5, 4, 7, 6}, {{0, 24}});
        const CVector4 rgb(f32(*colour >> 16 & 0xFF) / 255.0f, f32(*colour >> 8 & 0xFF) / 255.0f,
                           f32(*colour & 0xFF) / 255.0f, 1.0f);
        material->Diffuse = rgb;
        material->Emissive = rgb;
        material->Ambient = CVector4(0.0f, 0.0f, 0.0f, 1.0f);
    } else {
        model_test::SetIndices(*body->GetIndexList(), {0, 1, 2, 0, 2, 3}, {{0, 6}});
    }
    void* slot = material;
    body->GetMaterialList()->Add(&slot);
    AppendElement(mesh.GetModelObjects(), body);

    model_test::NewBone(mesh, "root", nullptr);
    CModelBone* bodyBone = model_test::NewBone(mesh, "Body", "root");
    model_test::NewBone(mesh, "Neck", "Body")->Transform.m[3][1] = 1.4f;
    model_test::NewBone(mesh, "Arm", "Body")->Transform.m[3][0] = 0.5f;
    for (u32 i = 0; i < count; ++i) {
        const CBoneInfluence influence{0, i, 1.0f};
        bodyBone->Influences.Add(&influence);
    }
    u32 n = 0;
    for (const std::string& name : motions) {
        CModelBoneAnimation* keys = model_test::AddKeys(*model_test::AddAnimation(mesh, name.c_str()), "Body");
        const f32 s = 0.05f * f32(++n);
        keys->MakeRotation()->AddKey(0, CQuaternion(0, 0, 0, 1));
        CQuaternion turn;
        CQuaternion(0, s, 0, 1).Normalized(&turn);
        keys->MakeRotation()->AddKey(2400, turn);
        keys->MakeRotation()->AddKey(4800, CQuaternion(0, 0, 0, 1));
    }
    for (u32 i = 0; i < n; ++i) mesh.GetAnimation(i)->RebindBones(mesh.GetBones());
    return CWriteMesh::Build(mesh);
}

}  // namespace

std::string FighterModel() { return FighterModel({std::begin(kFighterMotions), std::end(kFighterMotions)}); }

std::string FighterModel(const std::vector<std::string>& motions) { return BuildFighterModel(motions, nullptr); }

std::string FighterModel(const std::vector<std::string>& motions, u32 colour)
{
    return BuildFighterModel(motions, &colour);
}

u32 FighterColour(u32 id)
{
    // Strong hues first (the two fighters of most battles), then between.
    static constexpr u32 kColours[] = {0xE04040, 0x4070F0, 0xF0D030, 0x40C060, 0xC050E0, 0xF08030, 0x40D0D0,
        0xF070B0, 0xA0E040, 0x8060F0, 0xE0A070, 0x30A0A0, 0xD0D0D0, 0xB03060, 0x6090C0, 0xC0C040, 0x70E0A0,
        0xE06020};
    return kColours[id % (sizeof kColours / sizeof kColours[0])];
}

SettingWriter FighterParameter(const std::string& name) { return FighterParameter(FighterFiles::Plain(name)); }

SettingWriter FighterParameter(const FighterFiles& files, i32 life)
{
    SettingWriter w;
    w.Set("NAME", files.name.c_str()).Set("RESOURCE", files.model.c_str());
    w.Set("HP", life).Set("NORMALATTACKCOUNT", 2).Set("HITENSIONATTACKCOUNT", 4).Set("CLIMAXTENSIONATTACKCOUNT", 5);
    w.Set("GUARDTIME", 2.0f).Set("GUARDRELOAD", 1.0f).Set("BARRAGEAAMMUNITION", 30).Set("BARRAGEBAMMUNITION", 12);
    w.Set("NECKBONE", "Neck").Set("BODYBONE", "Body").Set("ARMBONE", "Arm");
    w.Set("HITSPHERE", "radius:0.5 bone:\"Body\"").Set("HITSPHERE", "radius:0.3 bone:\"Tail\"");
    for (const std::string& weapon : files.weapons) w.Set("WEAPON", weapon.c_str());
    w.Set("EFFECTBONENAME", "Body").Set("EFFECTBONENAME", "Arm");
    // Every barrage slot shares one barrage, every spell slot one card.
    w.Set("CAMERA", files.camera.c_str());
    for (const char* key : {"BARRAGEA", "BARRAGEB", "CHARGEBARRAGEA", "CHARGEBARRAGEB", "SHOOTOUTBARRAGE",
             "SPARKABARRAGE", "SPARKBBARRAGE"})
        w.Set(key, files.barrage.c_str());
    for (const char* key : {"SPELLA", "SPELLB", "CHARGESPELLA", "CHARGESPELLB"}) w.Set(key, files.spell.c_str());
    for (const char* key : {"EXCEPTIONSPELL", "HITENSIONSPELL", "CLIMAXTENSIONSPELL"})
        w.Set(key, files.tensionSpell.c_str());
    w.Set("EXPRESSION", files.face.c_str());
    // Values that default to 0 are given distinct ones, so a swapped record
    // or a lost sign shows: each damage type falls at its own rate, and the
    // two sparks stun for different times.
    const char* const damages[] = {"DAMAGENONE", "DAMAGESMALL", "DAMAGEMEDIUM", "DAMAGELARGEA", "DAMAGELARGEB",
        "DAMAGEROLLSMALL", "DAMAGEROLLLARGE", "DAMAGESPIN", "DAMAGEBLOWOFF", "DAMAGEFALLOFF", "DAMAGEDOWN"};
    f32 fall = 0.5f;
    for (const char* damage : damages) w.Set((std::string(damage) + "FALLVELOCITY").c_str(), fall), fall += 0.25f;
    w.Set("SPARKAREACTIONTIME", 0.6f).Set("SPARKBREACTIONTIME", 0.9f);
    return w;
}

namespace {

bool Save(const SettingWriter& text, const std::string& path) { return battle_data::WriteDataFile(path, text.Text()); }

// A spell card and its chain (<prefix>Barrage.txt > Pattern > Bullet):
// five bullets a volley of strength str and damage type.
void WriteCard(const std::string& file, const std::string& prefix, i32 str, i32 damageType, f32 guardStiffen)
{
    const std::string barrage = prefix + "Barrage.txt", pattern = prefix + "Pattern.txt",
                      bullet = prefix + "Bullet.txt";
    Save(SettingWriter().Set("NAME", "spell").Set("RELOAD", 8.0f).Set("AMMUNITION", 1).Set("BARRAGE", barrage.c_str()),
        file);
    Save(SettingWriter().Set("NAME", "card barrage").Set("PATTERN", pattern.c_str()), barrage);
    Save(SettingWriter().Set("NAME", "card pattern").Set("BULLET", bullet.c_str()).Set("SHOOTCOUNT", 5)
            .Set("SHOOTWAIT", 0.1f).Set("SHOOTANGLEADD", 6.0f),
        pattern);
    SettingWriter b;
    b.Set("NAME", "card bullet").Set("POW", 1.5f).Set("VELOCITY", 30.0f).Set("HITRADIUS", 0.6f);
    b.Set("EXISTENCETIME", 2.0f).Set("STAGEHITFLG", 1).Set("CHRACTORHITFLG", 1).Set("EFCBULLETHIT", "Efc_Hit.efc");
    if (guardStiffen > 0) b.Set("GUARDSTIFFENTIME", guardStiffen);
    Save(b.Set("STR", str).Set("DAMAGETYPE", damageType), bullet);
}

// The shot chain (barrage > pattern > bullet), the spell card, the camera
// and the weapons of files, in the current folder. closeAttacks: guarded
// bullets hold the guard.
void WriteChildren(const FighterFiles& files, const std::string& weaponModel, bool closeAttacks = false)
{
    const char* const camera = files.camera.c_str();
    SettingWriter c;
    c.Set("NAME", "camera");
    if (weaponModel.empty()) {
        Save(c, camera);
    } else {
        // A camera a little behind and above the fighter, closing in when
        // locked on.
        c.Set("NORMALDISTANCE", 6.0f).Set("NORMALOFFSETY", 1.5f).Set("NORMALFOV", 60.0f);
        c.Set("LOCKDISTANCE", 4.5f).Set("LOCKOFFSETY", 1.2f).Set("LOCKFOV", 55.0f);
        Save(c.Set("NEARDISTANCE", 3.0f).Set("RESULTDISTANCE", 8.0f), camera);
    }
    Save(SettingWriter().Set("NAME", "barrage").Set("PATTERN", files.pattern.c_str()), files.barrage);
    SettingWriter pattern;
    pattern.Set("NAME", "pattern").Set("BULLET", files.bullet.c_str());
    if (!weaponModel.empty()) pattern.Set("SHOOTCOUNT", 3).Set("SHOOTWAIT", 0.1f).Set("SHOOTANGLEADD", 10.0f);
    Save(pattern, files.pattern);
    SettingWriter bullet;
    bullet.Set("NAME", "bullet").Set("POW", 10.0f);
    if (!weaponModel.empty()) {
        bullet.Set("VELOCITY", 30.0f).Set("HITRADIUS", 0.4f).Set("EXISTENCETIME", 2.0f).Set("STAGEHITFLG", 1);
        bullet.Set("CHRACTORHITFLG", 1).Set("EFCBULLETHIT", "Efc_Hit.efc");
        // Real damage, so that battles see it: a shot takes 50 HP without
        // staggering (type 0), so fighters keep to their plans.
        bullet.Set("STR", 50).Set("DAMAGETYPE", 0);
        if (closeAttacks) bullet.Set("GUARDSTIFFENTIME", kShotGuardStiffen);
    }
    Save(bullet, files.bullet);
    if (weaponModel.empty()) {
        Save(SettingWriter().Set("NAME", "spell").Set("RELOAD", 8.0f), files.spell);
    } else {
        // The cards fire chains of their own, heavier than a shot; the
        // exception and tension cards' bullets knock down (with a short
        // knock-back: POW 1.5 at the default attenuation of 1 a second).
        const f32 stiffen = closeAttacks ? kCardGuardStiffen : 0.0f;
        WriteCard(files.spell, files.name + "_Spell", 60, 0, stiffen);
        WriteCard(files.tensionSpell, files.name + "_TensionSpell", 80, 10, stiffen);
    }
    if (weaponModel.empty()) {
        Save(SettingWriter().Set("BONE", "Arm").Set("RESOURCE", "Non Name").Set("SHOWFLG", 1), files.weapons[0]);
        return;
    }
    Save(SettingWriter().Set("NAME", "staff").Set("BONE", "Arm").Set("RESOURCE", weaponModel.c_str()).Set("SHOWFLG", 1),
        files.weapons[0]);
    Save(SettingWriter().Set("NAME", "shield").Set("BONE", "Body").Set("RESOURCE", weaponModel.c_str())
            .Set("OFFSETPOSITION", CVector3(0, 0.8f, -0.3f)).Set("SHOWFLG", 0),
        files.weapons[1]);
}

// A stick: one thin quad along +Y, no bones.
std::string WeaponModel()
{
    CMesh mesh;
    CModelObject* stick = model_test::NewObject("Stick", kVertexPosition, 4);
    CModelVertexList& v = *stick->GetVertexList();
    v.GetAt(0)->Position.Set(-0.05f, 0, 0);
    v.GetAt(1)->Position.Set(0.05f, 0, 0);
    v.GetAt(2)->Position.Set(0.05f, 1, 0);
    v.GetAt(3)->Position.Set(-0.05f, 1, 0);
    model_test::SetIndices(*stick->GetIndexList(), {0, 1, 2, 0, 2, 3}, {{0, 6}});
    void* material = new CModelMaterial();
    stick->GetMaterialList()->Add(&material);
    AppendElement(mesh.GetModelObjects(), stick);
    return CWriteMesh::Build(mesh);
}

}  // namespace

bool AddFighterModel(CResourceController& resources)
{
    auto* model = new CMesh();
    if (model_test::ReadInto(setting_test::ReadBytes("Fighter.mdl").value_or(""), *model) != 1) {
        delete model;
        return false;
    }
    model->SetName("Data/Fighter.mdl");
    void* slot = model;
    resources.GetModelList()->Add(&slot);
    return true;
}

void WriteFighter(const std::string& name)
{
    using setting_test::WriteBytes;
    const FighterFiles files = FighterFiles::Plain(name);
    FighterParameter(name).Save("Chr_" + name + ".txt");
    WriteChildren(files, "");
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

const NamedFile kFighterVoices[8] = {
    {"VOICESTART", "Start.wav"}, {"VOICEWIN", "Win.wav"}, {"VOICELOSE", "Lose.wav"},
    {"VOICEATTACK01", "Attack01.wav"}, {"VOICESHOOT", "Shoot.wav"}, {"VOICEDAMAGESMALL01", "Damage.wav"},
    {"VOICESPELL01", "Spell01.wav"}, {"VOICECLIMAX", "Climax.wav"}};
const NamedFile kFighterSoundEffects[7] = {
    {"SELOCKON", "Lockon.wav"}, {"SESTRIKESMALLDAMAGE", "StrikeSmall.wav"},
    {"SESTRIKELARGEDAMAGE", "StrikeLarge.wav"}, {"SESLASHSMALLDAMAGE", "SlashSmall.wav"},
    {"SESLASHLARGEDAMAGE", "SlashLarge.wav"}, {"SEDOWN", "Down.wav"}, {"SEBEAT", "Beat.wav"}};
const NamedFile kFighterEffects[6] = {
    {"EFCHITATTACK", "Efc_Hit.efc"}, {"EFCDASHSTART", "Efc_Dash.efc"}, {"EFCGUARD", "Efc_Guard.efc"},
    {"EFCATTACKSPARK", "Efc_Spark.efc"}, {"EFCEXPLOSIONSMALL", "Efc_Explosion.efc"}, {"EFCCHARGE", "Efc_Charge.efc"}};

bool WriteNamedFighter(const std::string& name, f32 pitch, std::vector<FighterMedia>& media, bool tonePerFile,
    i32 life, u32 colour, bool closeAttacks)
{
    const FighterFiles files = FighterFiles::Prefixed(name);
    const std::string weaponModel = name + "_Stick.mdl";
    SettingWriter parameter = FighterParameter(files, life);
    // The computer dashes by holding the slide button while its draw (new
    // every 0.5 s at level 4) says so: a hold of the default 1 s would need
    // two draws in a row.
    parameter.Set("DASHSTARTTIME", 0.3f);
    // Hits taken grow with the tension, by uneven factors: a 50-point shot
    // takes 53 at normal tension, and a change of 1 % in the damage takes
    // 54, so the whole battles' hashes see the damage formula.
    const std::pair<const char*, f32> revise[] = {
        {"LOWBONUSDAMAGEREVISE", 0.93f}, {"NORMALBONUSDAMAGEREVISE", 1.07f}, {"HIBONUSDAMAGEREVISE", 1.13f},
        {"CLIMAXBONUSDAMAGEREVISE", 1.19f}};
    for (const auto& [key, factor] : revise) parameter.Set(key, factor);
    // Close attacks hit hard, and the last hit of a combo knocks down.
    for (u32 i = 0; i < 9; ++i) {
        const std::string prefix = "SHORTATTACK0" + std::to_string(i);
        parameter.Set((prefix + "STR").c_str(), 70).Set((prefix + "DAMAGETYPE").c_str(), 2);
        parameter.Set((prefix + "LASTDAMAGETYPE").c_str(), 10);
        if (!closeAttacks) continue;
        // HITTYPE defaults to the attack's number: a sphere of that type
        // ahead of the arm, and a lunge that carries the attacker to its
        // rival within the attack's first second.
        parameter.Set("HITSPHERE", ("radius:2 z:-1.5 type:" + std::to_string(i + 1) + " bone:\"Arm\"").c_str());
        parameter.Set((prefix + "ACCELERATION").c_str(), 400.0f);
        parameter.Set((prefix + "GUARDSTIFFENTIME").c_str(), kCloseGuardStiffen + kCloseGuardStiffenStep * f32(i));
    }
    std::vector<std::string> motions(std::begin(kFighterMotions), std::end(kFighterMotions));
    if (closeAttacks) {
        parameter.Set("GUARDRADIUS", 2.0f);
        // Attack01 .. Attack07 and their ends (the computer chains the next
        // attack while an end plays); Attack02 is there already.
        for (u32 n = 1; n <= 7; ++n) {
            const std::string attack = "Attack0" + std::to_string(n);
            if (n != 2) motions.push_back(attack);
            motions.push_back(attack + "End");
        }
    }
    // With a tone per file voices rise in pitch through the table and sound
    // effects fall, so each can be told apart by ear; else one tone each.
    const f32 step = tonePerFile ? 1.06f : 1.0f;
    f32 hertz = pitch;
    std::string tone;
    for (const NamedFile& voice : kFighterVoices) {
        const std::string file = name + "_" + voice.file;
        parameter.Set(voice.key, file.c_str());
        if (tonePerFile || tone.empty()) tone = battle_data::ToneWav(hertz *= step, 0.12f);
        media.push_back({file, tone});
    }
    hertz = pitch * 2.0f;
    tone.clear();
    for (const NamedFile& effect : kFighterSoundEffects) {
        const std::string file = name + "_" + effect.file;
        parameter.Set(effect.key, file.c_str());
        if (tonePerFile || tone.empty()) tone = battle_data::ToneWav(hertz /= step, 0.06f);
        media.push_back({file, tone});
    }
    for (const NamedFile& effect : kFighterEffects) parameter.Set(effect.key, effect.file);
    if (!Save(parameter, "Chr_" + name + ".txt")) return false;
    WriteChildren(files, weaponModel, closeAttacks);
    // One expression per face key's default name; voices 0.. show "smile".
    std::vector<face_test::Face> faces;
    u32 value = 0;
    for (const char* face : {"def", "sorrow", "tedium", "damage", "smile"})
        faces.push_back({face, {{{0, value}}, {{0, value + 1}}}}), value += 2;
    const std::string faceBytes = face_test::FaceFileBytes(faces, {4, 4, 0});
    // The parameter's cache names the face file by its cached form.
    for (const std::string& path : {files.face, "Setting/" + files.face}) {
        if (!battle_data::WriteDataFile(path, faceBytes)) return false;
    }
    static const std::string weapon = WeaponModel();
    media.push_back({files.model, FighterModel(motions, colour)});
    media.push_back({weaponModel, weapon});
    return true;
}

}  // namespace fighter_test
