// The battle data set: a small but whole set of the game's data for
// battles run in tests, written with the project's own writers under a
// root folder. Everything lies under root/Resource, the data folder's
// "Resource/" that the game makes its current folder:
//
//   Chr_Talve.txt ...         each fighter's settings texts: parameter,
//   Talve_Camera.txt ...      camera, barrage > pattern > bullet, spell
//   Talve.fac                 card, two weapons, the face file
//   Stage01.txt ...           each stage: box-room model with collision,
//                             walls of the enclosure, fog, four starts;
//                             Stage02 names the camera-front and tension
//                             field effects too
//   Skill.txt, Skill_*.txt    the skill list and its skills
//   Setting/*.dat             every text above compiled to the cache the
//                             battle loads ("Setting/Chr_Talve.dat"), with
//                             the face files under their cached names
//   Data/Talve.gpk ...        scrambled archives the resource controller
//   Data/Stage01.gpk ...      registers: each fighter's model, weapon
//   Data/StageSharing.gpk     model, voices and sound effects (WAV tones);
//   Data/Bgm.gpk              each stage's models (stage 11's in the
//                             sharing archive); the win and lose jingles
//   Data/BattleBgm.gpk        the battle music archive: music slot 0
//                             ("Vocal_orig_01.ogg", a generated Ogg) and
//                             its tension script ("Vocal_orig_01.txt")
//   Effect/Efc_*.efc          the effects the fighters and stage name
//   Scene/Console.sce,        the HUD layout and its texture
//   Console_01.dds
//   GameResource.grc          the resource list: the effects, the layout and
//                             its texture
//
// The whole roster is there: 18 fighters and 19 stages, each the same
// generated fighter or room under its own names (Vek with little life).
// Talve and Derona, whom the battle tests fight, have a tone per voice; the
// others one voice tone and one sound-effect tone each (of their own
// pitch), stored once per archive.
// The whole set stays under a megabyte and takes well under a second to
// write.
#pragma once

#include "engine/core/Types.h"

#include <iterator>
#include <string>
#include <vector>

class CTensionFile;

namespace battle_data {

// The roster in character order: a character id indexes it.
inline constexpr const char* kFighterNames[] = {"Talve", "Derona", "Pellu", "Miravo", "Quena", "Ezmel", "Tubeca",
    "Kerlia", "Ombrisa", "Grell", "Navoie", "Drusa", "Ovu", "Wenna", "Lossin", "Bialto", "Sirkel", "Vek"};
inline constexpr u32 kFighterCount = 18;
static_assert(std::size(kFighterNames) == kFighterCount);
// Vek, the last, has little life (the others 800): a few shots beat it, so
// a run that needs a battle won or lost quickly fights it or plays it.
inline constexpr u32 kLittleLifeFighter = 17;
inline constexpr i32 kLittleLife = 10;
// Stages "Stage01" .. "Stage19"; a stage id is the number less one. The
// battle tests fight on the first.
inline constexpr u32 kStageCount = 19;
inline constexpr const char* kStageName = "Stage01";
inline constexpr const char* kResourceList = "GameResource.grc";
inline constexpr const char* kSkillList = "Setting/Skill.dat";
inline constexpr const char* kMusicEntry = "Vocal_orig_01.ogg";
inline constexpr const char* kTensionEntry = "Vocal_orig_01.txt";
inline constexpr const char* kJingles[] = {"Bgm_win.ogg", "Bgm_lose.ogg"};
inline constexpr const char* kEffects[] = {"Efc_Hit", "Efc_Dash", "Efc_Guard", "Efc_Spark", "Efc_Explosion",
    "Efc_Charge", "Efc_Cloud",
    // What every bullet plays when it freezes or thaws, unless it names its own.
    "Efc_freeze_01", "Efc_miravo_spell_ex_02", "Efc_freeze_02", "Efc_hit_01",
    // The camera-front and tension field effects of kFieldEffectStage.
    "Efc_TraceCloud", "Efc_HiTensionField", "Efc_ClimaxField"};
// The one stage whose settings name the effects the stage holds for each
// fighter's own view: the camera-front effect and the field effects of high
// and climax tension (the others name none).
inline constexpr u32 kFieldEffectStage = 1;
// The fighters' guard effect (EFCGUARD) and the texture its shield's spots
// name: the particles' texture of the game's data set, which binds it
// when the game loads its resources.
inline constexpr const char* kGuardEffect = "Efc_Guard";
inline constexpr const char* kGuardTexture = "Efc_particle.dds";
// Its side in texels: the sprites that show it keep its whole rectangle, as
// the tool saves a sprite given the texture.
inline constexpr u32 kGuardTextureSide = 64;
// Seconds of music: the tension script needs more than a minute, and the
// longer the music the more climax it allows (a tenth).
inline constexpr f32 kMusicSeconds = 300.0f;

// An archive as the game registers it: its pack name (whose CRC-32 is the
// archive's identifier), its path under Resource/ and its key byte.
struct Archive {
    const char* packName;
    const char* path;
    u8 key;
};
// What a battle of the first two fighters on the first stage needs
// registered through the resource controller, in this order (the battle
// tests register these).
extern const Archive kArchives[4];
// Every archive of the set: the four above, then each other fighter's and
// each other stage's, and the stage sharing archive (stage 11's models).
// The pack names and key bytes are those the game registers.
const std::vector<Archive>& AllArchives();
// Opened on its own for the music (never registered).
extern const Archive kBattleMusicArchive;

// The cache the battle loads for a fighter ("Setting/Chr_Talve.dat") or the
// stage ("Setting/Stage01.dat").
std::string FighterSettingPath(const char* fighter);
std::string StageSettingPath(u32 stage = 0);
// "Stage01" for stage 0.
std::string StageName(u32 stage);
// The stage's room model and the wall of its enclosure, as its settings
// name them ("Stage01_Room.mdl", "Stage01_Wall.mdl").
std::string StageRoomModel(u32 stage);
std::string StageWallModel(u32 stage);

// root + "/Resource".
std::string ResourceFolder(const std::string& root);

// Writes the whole set under root (made when missing). The current folder
// is moved while the texts compile and put back. False with the reason in
// *error (when given) if a file cannot be written or a text does not load.
// closeAttacks: every fighter written with WriteNamedFighter's closeAttacks
// (close attacks that reach, guards that hold); the set is otherwise the same.
bool WriteBattleData(const std::string& root, std::string* error = nullptr, bool closeAttacks = false);

// The music's tension script read from the battle music archive, from the
// current folder (a data set's Resource folder). False, with the reader's
// report in error, when it does not load.
bool LoadMusicTension(CTensionFile& tension, std::string* error = nullptr);

}  // namespace battle_data
