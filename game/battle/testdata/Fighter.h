// A small but whole fighter, written with the project's own writers: what
// the battle loads for one character. WriteFighter puts the files the
// character tests read into the current folder:
//
//   Chr_<name>.txt   the character parameter text (RESOURCE, bones,
//                    hit sphere, weapon, a few figures; the rest default)
//   Camera.txt       camera settings
//   Barrage.txt      one barrage: one pattern (Pattern.txt) of one bullet
//                    (Bullet.txt); every barrage slot uses it
//   Spell.txt        one spell card; every spell slot uses it (the data
//                    set's fighters have a heavier one, <name>_TensionSpell,
//                    for the exception and tension cards)
//   Staff.txt        a weapon on the arm bone
//   Chara.fac        the face file, one expression
//   Skill.txt        the skill list: Guard.txt (HP x2, GUARDTIME x1.5,
//                    three attacks) and Plain.txt (no flag: changes nothing)
//   Fighter.mdl      the model: bones root > Body > Neck, Arm, and the
//                    default motions Wait, Move, DashStart, Dash, DashStop,
//                    SlideFront ... SlideStopDown and Attack02, three keys each
//
// The battle data set (BattleData.h) writes each of its fighters with
// WriteNamedFighter: the same files under the fighter's own names, with
// voices, sound effects, effects and a second weapon added.
#pragma once

#include "game/data/tests/SettingWriter.h"

#include <string>
#include <vector>

class CResourceController;

namespace fighter_test {

inline constexpr const char* kFighterMotions[] = {
    "Wait", "Move", "DashStart", "Dash", "DashStop", "SlideFront", "SlideStopFront", "SlideBack", "SlideStopBack",
    "SlideLeft", "SlideStopLeft", "SlideRight", "SlideStopRight", "SlideUp", "SlideStopUp", "SlideDown",
    "SlideStopDown", "Attack02",
};

// The file names of one fighter's set.
struct FighterFiles {
    std::string name;                 // NAME, and Chr_<name>.txt
    std::string model = "Fighter.mdl";
    std::string camera = "Camera.txt";
    std::string barrage = "Barrage.txt";
    std::string pattern = "Pattern.txt";
    std::string bullet = "Bullet.txt";
    std::string spell = "Spell.txt";
    std::string tensionSpell = "Spell.txt";   // the high-tension and climax cards
    std::vector<std::string> weapons{"Staff.txt"};
    std::string face = "Chara.fac";

    // The set of the character tests: the names above.
    static FighterFiles Plain(const std::string& name);
    // Every file prefixed with the fighter's name ("Talve_Camera.txt"), so
    // fighters share a folder; two weapons.
    static FighterFiles Prefixed(const std::string& name);
};

// The fighter's model: one quad skinned to Body, and every motion turning
// Body a little further over three keys.
std::string FighterModel();
// The same quad and bones with the named motions instead.
std::string FighterModel(const std::vector<std::string>& motions);
// The data set's look: the quad twice its size, a second one across it,
// both seen from either side, in the fighter's own colour (0xRRGGBB), so
// fighters stand apart from each other and from the stage.
std::string FighterModel(const std::vector<std::string>& motions, u32 colour);
// The data set's colour of fighter id: a hue of its own.
u32 FighterColour(u32 id);

// A fighter's life (HP) unless it is given another.
inline constexpr i32 kFighterLife = 800;

// The parameter text of the plain set.
setting_test::SettingWriter FighterParameter(const std::string& name);
// The parameter text naming files' children.
setting_test::SettingWriter FighterParameter(const FighterFiles& files, i32 life = kFighterLife);

// Writes every file above for the fighter name into the current folder.
void WriteFighter(const std::string& name = "Test");
// The written model read back into the resource holder, under the name the
// parameter text gives it ("Data/Fighter.mdl"). False when it does not read.
bool AddFighterModel(CResourceController& resources);

// The voice, sound-effect and effect keys the data set's fighters set, with
// the file each names (without the fighter's prefix).
struct NamedFile {
    const char* key;
    const char* file;
};
extern const NamedFile kFighterVoices[8];
extern const NamedFile kFighterSoundEffects[7];
extern const NamedFile kFighterEffects[6];

// The data set's fighter: the files of FighterFiles::Prefixed(name) in the
// current folder (the model and sounds are returned, not written: they go
// into the fighter's archive), its parameter text also naming voices,
// sound effects and effects. Voices rise in pitch from pitch through the
// table and sound effects fall, unless tonePerFile is false: then every
// voice is one tone of pitch and every sound effect one of twice it. The
// weapon model is made once and shared; the fighter's model is in colour
// (FighterModel's, 0xRRGGBB). False when a file cannot be written. life:
// its HP.
struct FighterMedia {
    std::string name;    // entry name in the archive
    std::string bytes;
};
// With closeAttacks the fighter's close attacks reach and its guards hold:
// every attack has a motion and an end motion of its own and a hit sphere of
// its hit type ahead of the arm, it lunges at its rival as it attacks, its
// guard is twice the default's radius, and every guarded hit holds the guard
// (each attack's GUARDSTIFFENTIME kCloseGuardStiffen + n x
// kCloseGuardStiffenStep, the shot's kShotGuardStiffen, the cards'
// kCardGuardStiffen).
bool WriteNamedFighter(const std::string& name, f32 pitch, std::vector<FighterMedia>& media, bool tonePerFile = true,
    i32 life = kFighterLife, u32 colour = 0xFFFFFF, bool closeAttacks = false);
inline constexpr f32 kCloseGuardStiffen = 0.3f, kCloseGuardStiffenStep = 0.05f;
inline constexpr f32 kShotGuardStiffen = 0.25f, kCardGuardStiffen = 0.45f;

}  // namespace fighter_test
