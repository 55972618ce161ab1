// What the stage, camera and weapon settings share: their key sets, texts
// made by the settings writer against the caches they compile to, and
// damaged caches.
#include "game/battle/object/CameraParameter.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/object/WeaponSetting.h"
#include "game/data/tests/SettingTestSupport.h"
#include "game/data/tests/SettingWriter.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;

namespace {

std::vector<std::string> StageKeys()
{
    std::vector<std::string> keys = {"NAME", "EFFECT", "BASE", "HIT", "ENCLOSUREXP", "ENCLOSUREXM", "ENCLOSUREZP",
        "ENCLOSUREZM", "DARKMESH", "CLOUDEFFECTNAME", "TRACECLOUDEFFECTNAME", "HITENTIONFIELDEFFECTNAME",
        "CLIMAXFIELDEFFECTNAME", "FOGCOLORR", "FOGCOLORG", "FOGCOLORB", "FOGSTART", "FOGEND", "MINVISIBLE",
        "MAXVISIBLE", "SMALLVIBRATEPOW", "LARGEVIBRATEPOW", "VIBRATEDECELERATION", "VIBRATESPEED", "VIBRATETIME",
        "CLOUDINTERVAL", "CLOUDPOSITIONOFFSET", "CLOUDPOSITIONOFFSETX", "CLOUDPOSITIONOFFSETY",
        "CLOUDPOSITIONOFFSETZ", "TRACECLOUDPOSITIONOFFSET", "TRACECLOUDPOSITIONOFFSETX",
        "TRACECLOUDPOSITIONOFFSETY", "TRACECLOUDPOSITIONOFFSETZ", "STAGEMINX", "STAGEMINY", "STAGEMINZ",
        "STAGEMAXX", "STAGEMAXY", "STAGEMAXZ"};
    for (const char* n : {"1", "2", "3", "4"})
        for (const char* f : {"POSITIONX", "POSITIONY", "POSITIONZ", "ANGLEX", "ANGLEY", "ANGLEZ"})
            keys.push_back(std::string("START0") + n + f);
    return keys;
}

std::vector<std::string> CameraKeys()
{
    std::vector<std::string> keys = {"NAME"};
    for (std::string row : {"NORMAL", "NEAR", "LOCK", "SHOOTOUT", "SLIDEATTACK", "RESULT"}) {
        for (const char* column : {"DISTANCE", "OFFSETX", "OFFSETY", "TARGETOFFSETX", "TARGETOFFSETY",
                 "VERTICALANGLEMIN", "VERTICALANGLEMAX", "LENGTHMAX", "TRACELENGTHMAX", "RETURNLENGTH", "FOV",
                 "MOVEVELOCITY", "MOVEACCELERATION", "EXCESSVELOCITY", "ROTATIONVELOCITY", "CHANGETIME"}) {
            const std::string key = row + column;
            if (key == "LOCKMOVEACCELERATION") keys.push_back("LCOKMOVEACCELERATION");
            else if (key != "SLIDEATTACKEXCESSVELOCITY" && key != "RESULTEXCESSVELOCITY") keys.push_back(key);
        }
    }
    return keys;
}

std::vector<std::string> WeaponKeys()
{
    return {"NAME", "RESOURCE", "BONE", "OFFSETPOSITION", "OFFSETPOSITIONX", "OFFSETPOSITIONY", "OFFSETPOSITIONZ",
        "OFFSETANGLE", "OFFSETANGLEX", "OFFSETANGLEY", "OFFSETANGLEZ", "EQUIPFLAG", "SOUNDTYPE", "SHOWFLG",
        "CHANGEEFFECTFLG"};
}

struct Kind {
    const char* file;
    std::function<std::unique_ptr<CSettingFile>()> make;
    std::function<std::vector<std::string>()> keys;
    u32 keyCount;
    // The numbers of a reader, as bytes.
    std::function<std::string(CSettingFile&)> block;
};

template <class R, class Block>
std::string BytesOf(CSettingFile& reader, Block R::*member)
{
    const Block& b = static_cast<R&>(reader).*member;
    return std::string(reinterpret_cast<const char*>(&b), sizeof b);
}

const Kind kKinds[] = {
    {"Stage.txt", [] { return std::make_unique<CStageSetting>(); }, StageKeys, CStageSetting::kKeyCount,
        [](CSettingFile& r) { return BytesOf(r, &CStageSetting::parameters); }},
    {"Camera.txt", [] { return std::make_unique<CCameraParameter>(); }, CameraKeys, CCameraParameter::kKeyCount,
        [](CSettingFile& r) { return BytesOf(r, &CCameraParameter::values); }},
    {"Weapon.txt", [] { return std::make_unique<CWeaponSetting>(); }, WeaponKeys, CWeaponSetting::kKeyCount,
        [](CSettingFile& r) { return BytesOf(r, &CWeaponSetting::values); }},
};

// A reader whose every key holds a value of its own.
std::string WrittenText(const Kind& kind)
{
    auto reader = kind.make();
    EXPECT_EQ(reader->RegisterKeys(), 1);
    EXPECT_TRUE(SetEveryKeyApart(*reader));
    reader->GetKeyMap()->FindByName("NAME")->parameter->SetValue(reader->GetOwner(), "\x83\x65\x83\x58\x83\x67");
    return WriteSettingText(*reader);
}

void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.file; }

class SettingKeys : public ::testing::TestWithParam<Kind> {};

INSTANTIATE_TEST_SUITE_P(Readers, SettingKeys, ::testing::ValuesIn(kKinds),
    [](const auto& info) { return std::string(info.param.file).substr(0, std::string(info.param.file).find('.')); });

}  // namespace

// Every key is registered under its own hash: a collision would refuse the
// second name and the count would fall short.
TEST_P(SettingKeys, EveryKeyIsRegisteredUnderItsOwnHash)
{
    auto reader = GetParam().make();
    ASSERT_EQ(reader->RegisterKeys(), 1);
    std::vector<std::string> expected = GetParam().keys();
    ASSERT_EQ(expected.size(), GetParam().keyCount);
    const CStatusKeyMap* keys = reader->GetKeyMap();
    std::vector<std::string> registered;
    std::set<u32> hashes;
    for (u32 i = 0; i < keys->GetCount(); ++i) {
        registered.push_back(Text(keys->GetAt(i)->name));
        hashes.insert(keys->GetAt(i)->hash);
    }
    std::sort(expected.begin(), expected.end());
    std::sort(registered.begin(), registered.end());
    EXPECT_EQ(registered, expected);
    EXPECT_EQ(hashes.size(), expected.size());
}

TEST_P(SettingKeys, AWrittenTextAndItsCacheLoadTheSameValues)
{
    WorkFolder folder;
    const Kind& kind = GetParam();
    const std::string text = WrittenText(kind);
    WriteBytes(kind.file, text);
    auto fromText = kind.make();
    ASSERT_EQ(fromText->LoadFile(kind.file), 1);
    EXPECT_EQ(WriteSettingText(*fromText), text);
    auto fromCache = kind.make();
    ASSERT_EQ(fromCache->LoadFile(CSettingFile::MakeCachePath(kind.file).c_str()), 1);
    EXPECT_EQ(WriteSettingText(*fromCache), text);
    EXPECT_EQ(kind.block(*fromCache), kind.block(*fromText));
}

// A cache cut anywhere, with an unknown key or with a hostile length is
// refused, never read past.
TEST_P(SettingKeys, ADamagedCacheIsRefused)
{
    WorkFolder folder;
    const Kind& kind = GetParam();
    WriteBytes(kind.file, WrittenText(kind));
    ASSERT_EQ(kind.make()->LoadFile(kind.file), 1);
    const std::string cache = ReadBytes(CSettingFile::MakeCachePath(kind.file)).value_or("<missing>");
    ASSERT_GT(cache.size(), 16u);

    std::vector<std::string> damaged;
    for (size_t cut = 4; cut < cache.size(); cut += 3) damaged.push_back(cache.substr(0, cut));
    std::string unknown = cache;
    unknown[4] ^= 0x5A;
    damaged.push_back(unknown);
    std::string hostile = cache;
    hostile.replace(8, 4, "\xF0\xFF\xFF\x7F");
    damaged.push_back(hostile);
    for (const std::string& bytes : damaged) {
        WriteBytes("Setting/Bad.dat", bytes);
        EXPECT_EQ(kind.make()->LoadFile("Setting/Bad.dat"), 0) << bytes.size() << " bytes";
    }
}

}  // namespace ORV_TEST_FILE_ID
