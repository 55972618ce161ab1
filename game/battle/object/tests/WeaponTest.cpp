// The weapon object: its resource, its shown flag and how it follows the
// bone of the fighter that carries it. The fighter is a test double over a
// two-bone model written here with the model writer.
#include "engine/model/AnimationController.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/object/Weapon.h"
#include "game/battle/object/WeaponSetting.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/battle/object/tests/StateHashProbe.h"
#include "game/data/tests/SettingWriter.h"
#include "host/kernel/tests/TempFolder.h"

#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

namespace weapon_test {

namespace ORV_TEST_FILE_ID {

using battle_test::FakeFighter;
using setting_test::Xyz;

namespace {

constexpr f32 kNear = 1e-5f;

// "Body" under the root, "Hand" under Body. Hand's bind pose is turned 90
// degrees about z and raised 2; its one animation set puts Body at (3, 0, 0)
// and Hand 2 above it turned by handTurn.
std::string FighterModel(const CQuaternion& handTurn)
{
    CMesh mesh;
    model_test::NewBone(mesh, "root", nullptr);
    model_test::NewBone(mesh, "Body", "root");
    CModelBone* hand = model_test::NewBone(mesh, "Hand", "Body");
    hand->Transform.RotationZ(90.0f);
    hand->Transform.m[3][1] = 2.0f;
    hand->FrameMatrix = hand->Transform.GetInverse();
    CModelAnimation* pose = model_test::AddAnimation(mesh, "Pose");
    model_test::AddKeys(*pose, "Body")->MakePosition()->AddKey(0, CVector3(3, 0, 0));
    CModelBoneAnimation* keys = model_test::AddKeys(*pose, "Hand");
    keys->MakeRotation()->AddKey(0, handTurn);
    keys->MakePosition()->AddKey(0, CVector3(0, 2, 0));
    pose->RebindBones(mesh.GetBones());
    return CWriteMesh::Build(mesh);
}

CWeaponSetting* Settings(const char* resource, const char* bone, i32 showFlag)
{
    auto* settings = new CWeaponSetting();
    settings->RegisterKeys();
    settings->ApplyDefaults();
    settings->resource = CString(resource);
    settings->bone = CString(bone);
    settings->values.showFlag = showFlag;
    return settings;
}

class WeaponTest : public model_test::ModelDeviceTest {
protected:
    void SetUp() override
    {
        saved_ = GetObjectRegistry();
        registry_.SetHandler(&scene_);
        SetObjectRegistry(&registry_);
        ASSERT_EQ(manager_.Create(nullptr, 8, 8), 1);
        scene_.effects = &manager_;
        // Registered in this test's registry.
        owner_ = std::make_unique<FakeFighter>();
    }
    void TearDown() override
    {
        owner_.reset();
        SetObjectRegistry(saved_);
    }

    // The fighter on the model of hand turn, placed under root.
    void MakeFighter(const CQuaternion& handTurn, const CMatrix& root)
    {
        const std::string path = folder_ / ("Fighter" + std::to_string(fighters_++) + ".mdl");
        const std::string bytes = FighterModel(handTurn);
        ASSERT_TRUE(host::kernel::WriteFileAtomic(path, bytes.data(), bytes.size()));
        CMesh* model = nullptr;
        ASSERT_EQ(owner_->GetModel(&resources_, path.c_str(), &model), 1u);
        owner_->SetResource(model);
        ASSERT_EQ(owner_->Initialize(0), 1);
        ASSERT_NE(owner_->GetAnimationController(), nullptr);
        owner_->GetAnimationController()->UpdateMatrices(&root);
    }

    // An effect file of one node; its path.
    std::string SaveGlow()
    {
        CEffectContainer glow;
        glow.SetName("Glow");
        auto* node = new CEffectObject();
        node->SetName("spark");
        glow.AddObject(node);
        const std::string path = folder_ / "Glow.efc";
        EXPECT_EQ(glow.Save(path.c_str()), 1);
        return path;
    }

    host::kernel::testing::TempFolder folder_;
    battle_test::FakeBattleScene scene_;
    CObjectRegistry registry_;
    CEffectController manager_;
    CResourceController resources_;
    std::unique_ptr<FakeFighter> owner_;
    int fighters_ = 0;

private:
    CObjectRegistry* saved_ = nullptr;
};


// Shown and bone alone; the owner by id, and only while it lives.
TEST_F(WeaponTest, TheStateHashFollowsEachFieldOfTheWeapon)
{
    CWeapon weapon(Settings("Non Name", "Hand", 1));
    ExpectEachChangesHash(weapon, StateHashProbe::Fields(weapon), "weapon");
    const auto hash = [&weapon] {
        CStateHash h;
        weapon.HashState(h);
        return h.Value();
    };
    const u64 before = hash();
    {
        FakeFighter owner;
        StateHashProbe::SetOwner(weapon, &owner);
        EXPECT_NE(hash(), before);
    }
    EXPECT_EQ(hash(), before);   // gone: folded as none
    StateHashProbe::SetOwner(weapon, nullptr);
}

}  // namespace

// Worked by hand, row vectors. The fighter stands under root = scale 2 then
// move (0, 0, 10), so Hand's world is turn x scale 2 x move (6, 4, 10). The
// bone matrix takes back Hand's bind turn (-90 about z), so an offset is
// read along the model's axes as they were in the bind pose.
TEST_F(WeaponTest, TheWeaponFollowsItsOwnersBoneWithItsOffset)
{
    CMatrix root;
    root.m[0][0] = root.m[1][1] = root.m[2][2] = 2.0f;
    root.m[3][2] = 10.0f;
    const CQuaternion none(0, 0, 0, 1), halfTurn(0, 0, 1, 0);
    const struct {
        CQuaternion handTurn;
        CVector3 offset, angle;
        CVector3 position;   // expected
        CVector3 firstRow;   // of GetMatrix, unit length
    } cases[] = {
        // Hand unturned: its bind turn taken back leaves -90 about z.
        {none, {1, 0, 0}, {0, 0, 0}, {6, 2, 10}, {0, -1, 0}},
        // Hand at 180: 90 about z beyond its bind pose.
        {halfTurn, {1, 0, 0}, {0, 0, 0}, {6, 6, 10}, {0, 1, 0}},
        // The offset turn acts first, in the bone's space: x goes to -z.
        {halfTurn, {0, 0, 0}, {0, 90, 0}, {6, 4, 10}, {0, 0, -1}},
    };
    for (const auto& c : cases) {
        MakeFighter(c.handTurn, root);
        CWeaponSetting* settings = Settings("Non Name", "Hand", 1);
        settings->values.offsetPosition = c.offset;
        settings->values.offsetAngle = c.angle;
        CWeapon weapon(settings);
        weapon.GetRotation()->Set(45, 45, 45);   // plays no part
        ASSERT_EQ(weapon.AttachToOwnerModel(owner_.get()), 1);
        ASSERT_NE(weapon.GetBone(), nullptr);
        ASSERT_EQ(weapon.Update(0), 1);

        const CVector3& at = *weapon.GetPosition();
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(at[i], c.position[i], kNear) << i;
        CMatrix unit;
        weapon.GetMatrix(&unit);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(unit.m[0][i], c.firstRow[i], kNear) << i;
        EXPECT_EQ(Xyz(unit.m[3][0], unit.m[3][1], unit.m[3][2]), Xyz(at));
    }
}

// A bone the skeleton lacks, an owner that made itself a new controller and
// an owner released: the weapon stays where it is and never reads a frame
// that is gone.
TEST_F(WeaponTest, WithoutABoneTheWeaponStaysWhereItIs)
{
    MakeFighter(CQuaternion(0, 0, 0, 1), CMatrix());
    owner_->GetRotation()->Set(0, 30, 0);
    CWeapon lost(Settings("Non Name", "Tail", 1));
    CWeapon held(Settings("Non Name", "Hand", 1));
    for (CWeapon* w : {&lost, &held}) {
        w->GetPosition()->Set(7, 7, 7);
        w->GetRotation()->Set(0, 0, 5);
        w->AttachToOwnerModel(owner_.get());
    }
    EXPECT_EQ(lost.GetBone(), nullptr);
    EXPECT_EQ(lost.Update(0), 1);
    EXPECT_EQ(Xyz(*lost.GetPosition()), Xyz(7, 7, 7));

    // The owner's controller made anew: the bone is looked up again in it.
    ASSERT_EQ(owner_->CreateAnimationController(), 1);
    owner_->GetAnimationController()->UpdateMatrices(nullptr);
    ASSERT_EQ(held.Update(0), 1);
    EXPECT_EQ(held.GetBone(), owner_->GetAnimationController()->GetFrameByName("Hand"));
    EXPECT_NEAR(held.GetPosition()->y, 2.0f, kNear);
    CVector3 turn;
    held.GetRotation(&turn);
    EXPECT_EQ(Xyz(turn), Xyz(0, 30, 0));   // the owner's

    owner_->Release();
    held.GetPosition()->Set(7, 7, 7);
    EXPECT_EQ(held.Update(0), 1);
    EXPECT_EQ(held.GetOwner(), nullptr);
    EXPECT_EQ(Xyz(*held.GetPosition()), Xyz(7, 7, 7));
    held.GetRotation(&turn);
    EXPECT_EQ(Xyz(turn), Xyz(0, 0, 5));   // its own once the owner is gone
}

TEST_F(WeaponTest, ResourcesByName)
{
    MakeFighter(CQuaternion(0, 0, 0, 1), CMatrix());
    const std::string model = folder_ / "Fighter0.mDl";   // the fighter's own file, named in mixed case
    ASSERT_EQ(std::rename((folder_ / "Fighter0.mdl").c_str(), model.c_str()), 0);
    const std::string effect = SaveGlow();
    const std::string missing = folder_ / "Missing.efc";

    const struct {
        const char* resource;
        bool controller;
        i32 result;
        u8 type;   // of the resource, 0 for none
    } cases[] = {
        {"Non Name", true, 1, 0},
        {"Non Name", false, 1, 0},
        {model.c_str(), true, 1, CObjectDivision::kModelResource},
        {effect.c_str(), true, 1, CObjectDivision::kEffectResource},
        {missing.c_str(), true, 0, 0},
        {"", true, 0, 0},
        // Without a controller a loaded resource would belong to nobody.
        {effect.c_str(), false, 0, 0},
    };
    for (const auto& c : cases) {
        CWeapon weapon(Settings(c.resource, "Hand", 1));
        EXPECT_EQ(weapon.LoadResource(c.controller ? &resources_ : nullptr), c.result) << c.resource;
        EXPECT_EQ(weapon.GetResource() ? weapon.GetResource()->GetType() : 0, c.type) << c.resource;
    }
    EXPECT_EQ(CWeapon().LoadResource(&resources_), 0);   // no settings
}

// Message 50 shows and hides; hidden, nothing is drawn, the attached
// effect included. SHOWFLG bit 0 gives the start.
TEST_F(WeaponTest, TheShownFlagFollowsMessage50)
{
    const std::string effect = SaveGlow();

    const u32 hide = 0, show = 1;
    const struct {
        i32 showFlag;
        const u32* message;   // null: none sent
        u32 shown;
    } cases[] = {
        {1, nullptr, 1}, {3, nullptr, 1}, {2, nullptr, 0},
        {1, &hide, 0},   {2, &show, 1},   {1, &show, 1},
    };
    for (const auto& c : cases) {
        CWeapon weapon(Settings(effect.c_str(), "Hand", c.showFlag));
        ASSERT_EQ(weapon.LoadResource(&resources_), 1);
        ASSERT_EQ(weapon.Initialize(0), 1);
        ASSERT_NE(weapon.GetAttachedEffect(), nullptr);
        if (c.message) {
            EXPECT_EQ(owner_->SendObjectMessage(kMsgWeaponShown, weapon.GetId(), 0, intptr_t(c.message)), 1u);
        }
        EXPECT_EQ(weapon.HasReturned(), c.shown);
        EXPECT_EQ(weapon.Draw(0u), i32(c.shown));
        // A message without its value changes nothing.
        EXPECT_EQ(weapon.OnMessage(kMsgWeaponShown, nullptr, 0), 1u);
        EXPECT_EQ(weapon.HasReturned(), c.shown);
    }

    CWeapon bare(Settings("Non Name", "Hand", 1));
    ASSERT_EQ(bare.LoadResource(&resources_), 1);
    ASSERT_EQ(bare.Initialize(0), 1);
    EXPECT_EQ(bare.HasReturned(), 1u);
    EXPECT_EQ(bare.Draw(0u), 0);   // nothing to draw
}

TEST_F(WeaponTest, ACopyHangsOnTheSameOwnerWithItsOwnSettings)
{
    MakeFighter(CQuaternion(0, 0, 0, 1), CMatrix());
    CWeapon weapon(Settings("Non Name", "Hand", 1));
    weapon.Initialize(0);
    weapon.AttachToOwnerModel(owner_.get());
    const CWeapon copy(weapon);
    EXPECT_EQ(copy.GetGroup(), kGroupWeapon);
    EXPECT_NE(copy.GetId(), weapon.GetId());
    EXPECT_EQ(copy.GetOwner(), owner_.get());
    EXPECT_EQ(copy.GetBone(), weapon.GetBone());
    EXPECT_EQ(copy.HasReturned(), 1u);
    ASSERT_NE(copy.GetSettings(), weapon.GetSettings());
    EXPECT_EQ(setting_test::WriteSettingText(*copy.GetSettings()), setting_test::WriteSettingText(*weapon.GetSettings()));
}

// The hash takes the shown flag, the owner and the bone besides the base's
// fields.
TEST_F(WeaponTest, TheStateHashTakesShownOwnerAndBone)
{
    MakeFighter(CQuaternion(0, 0, 0, 1), CMatrix());
    auto hash = [](const CWeapon& w) {
        CStateHash h;
        w.HashState(h);
        return h.Value();
    };
    CWeapon weapon(Settings("Non Name", "Hand", 1));
    u64 last = hash(weapon);
    const u32 hide = 0;
    const std::function<void()> steps[] = {
        [&] { weapon.Initialize(0); },
        [&] { weapon.AttachToOwnerModel(owner_.get()); },
        [&] { weapon.OnMessage(kMsgWeaponShown, nullptr, intptr_t(&hide)); },
        [&] { weapon.Update(0); },
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i]();
        const u64 now = hash(weapon);
        EXPECT_NE(now, last) << "step " << i;
        last = now;
    }
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace weapon_test
