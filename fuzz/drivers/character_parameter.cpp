// Any bytes as a character's parameter set, text or cache, beside default
// children: a camera, a barrage with its pattern and bullet, a spell card
// firing it, a weapon and a face file (and names a text may use to reach
// them twice, in another case, or out of the folder). A text that loads must
// load the same from the cache it wrote, and the chain of loads must have
// unwound.
#include "fuzz/drivers/ShotDriver.h"
#include "game/battle/character/CharacterParameter.h"
#include "game/battle/character/tests/FaceFileWriter.h"

#include <algorithm>
#include <cctype>

namespace {

void WriteCharacterChildren()
{
    const struct {
        const char* name;
        const char* text;
    } files[] = {
        {"Camera.txt", "NORMALDISTANCE=4;"},
        {"Spell.txt", "SPELLTYPE=1;BARRAGE=Barrage.txt;BARRAGE=barrage.TXT;"},
        {"Weapon.txt", "BONE=Hand;SHOWFLG=1;"},
        {"Shared.txt", "NAME=shared;"},
    };
    fuzz::WriteShotChildren();
    for (const auto& f : files) fuzz::WriteFile(f.name, f.text, std::strlen(f.text));
    const std::string face = face_test::FaceFileBytes({{"def", {}}, {"smile", {}}}, {1, 0});
    fuzz::WriteFile("Chara.fac", face.data(), face.size());
}

// Every value (file names as the cache holds them) and every child.
std::string Describe(CCharacterParameter& p)
{
    shot_test::Describer children(true);
    std::string out = shot_test::DescribeKeys(p, true) + shot_test::DescribeKeys(p.camera, true);
    for (CPatternListParameter& barrage : p.barrages) out += children.List(barrage);
    for (CSpellCardSetting& card : p.spellCards) out += children.Card(card);
    for (u32 i = 0; i < p.weapons.GetCount(); ++i)
        out += shot_test::DescribeKeys(const_cast<CWeaponSetting&>(*p.weapons.GetAt(i)), true);
    return out + std::to_string(p.GetExpressions().size()) + " " + std::to_string(p.GetVoiceExpressions().size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string folder = [] {
        const std::string process = fuzz::ProcessFolder();
        WriteCharacterChildren();
        return process;
    }();
    ::remove((folder + "Setting/input.dat").c_str());
    fuzz::WriteFile(folder + "input.txt", data, size);

    CCharacterParameter text;
    const i32 loaded = text.LoadFile("input.txt");
    FUZZ_CHECK(CNestedLoadGuard::Depth() == 0);
    FUZZ_CHECK(loaded == (CSettingLoad::LastError() == SettingLoadError::kNone));
    if (!loaded) return 0;
    if (size >= 4 && std::memcmp(data, "BIN", 4) == 0) return 0;

    CCharacterParameter cached;
    FUZZ_CHECK(cached.LoadFile("Setting/input.dat") == 1);
    // A value already in the cache's form is rewritten once more there.
    std::string lower(reinterpret_cast<const char*>(data), size);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return char(std::tolower(u8(c))); });
    if (lower.find("setting/") == std::string::npos) FUZZ_CHECK(Describe(cached) == Describe(text));
    return 0;
}
