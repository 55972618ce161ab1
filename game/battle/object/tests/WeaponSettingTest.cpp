#include "game/battle/object/WeaponSetting.h"
#include "game/data/tests/SettingTestSupport.h"
#include "game/data/tests/SettingWriter.h"

#include <cstring>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;

TEST(WeaponSetting, AHandWrittenWeaponItsDefaultsAndItsCache)
{
    WorkFolder folder;
    WriteBytes("Sword.txt",
        "NAME = \x8C\x95;  // a sword\n"
        "RESOURCE = Chara\\\x8C\x95.MDL;\n"
        "Bone = RightHand;\n"
        "OFFSETPOSITION = :1:2:3; OFFSETPOSITIONY = 5;\n"
        "OFFSETANGLEZ = 90;\n"
        "SHOWFLG = 3; EQUIPFLAG = 1;\n");
    CWeaponSetting sword;
    ASSERT_EQ(sword.LoadFile("Sword.txt"), 1);
    EXPECT_EQ(Text(sword.GetName()), "\x8C\x95");
    EXPECT_EQ(Text(sword.resource), "Chara\\\x8C\x95.MDL");
    EXPECT_EQ(Text(sword.bone), "RightHand");
    EXPECT_EQ(Xyz(sword.values.offsetPosition), Xyz(1, 5, 3));
    EXPECT_EQ(Xyz(sword.values.offsetAngle), Xyz(0, 0, 90));
    EXPECT_EQ(sword.values.showFlag, 3);
    EXPECT_EQ(sword.values.equipFlag, 1);
    EXPECT_EQ(sword.values.soundType, 0);
    EXPECT_EQ(sword.values.changeEffectFlag, 1);

    CWeaponSetting cached;
    ASSERT_EQ(cached.LoadFile("Setting/Sword.dat"), 1);
    EXPECT_EQ(std::memcmp(&cached.values, &sword.values, sizeof sword.values), 0);
    EXPECT_EQ(Text(cached.resource), Text(sword.resource));
    EXPECT_EQ(Text(cached.bone), "RightHand");

    CWeaponSetting empty;
    ASSERT_EQ(empty.ParseText("Empty.txt", "", '=', ';', nullptr, 0), 1);
    EXPECT_EQ(Text(empty.resource), "Non Name");
    EXPECT_EQ(Text(empty.bone), "Non Name");
    EXPECT_EQ(empty.values.changeEffectFlag, 1);
    EXPECT_EQ(empty.values.showFlag, 0);
}

}  // namespace ORV_TEST_FILE_ID
