// The effects that battle objects carry draw their depth-sorted particles
// through the scene's render list, which sorts them back to front, and
// draw them at once only when no list is given.
#include "engine/core/String.h"
#include "engine/model/RenderList.h"
#include "engine/scene/tests/EffectTestSupport.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletParameter.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/Weapon.h"
#include "game/battle/object/WeaponSetting.h"
#include "game/battle/object/tests/TestDoubles.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace ORV_TEST_FILE_ID {

namespace {

class EffectRenderListTest : public effect_test::SpriteEffectFixture {
protected:
    void SetUp() override
    {
        SpriteEffectFixture::SetUp();
        saved_ = GetObjectRegistry();
        registry_.SetHandler(&scene_);
        SetObjectRegistry(&registry_);
        scene_.effects = &controller_;
    }
    void TearDown() override
    {
        SetObjectRegistry(saved_);
        SpriteEffectFixture::TearDown();
    }

    // One sprite particle, born at once, sorted or not.
    void OneParticle(u32 sorted)
    {
        CEffectObject* o = effect_test::NewObject("glow");
        o->SetResource("spark.png", &texture_);
        effect_test::ParticleKeys(o, {{0.0f, 1}});
        o->GetNodeSettings().sorted = sorted;
        container_.AddObject(o);
        LookFrom(CVector3(0, 0, -10), CVector3(0, 0, 0));
    }

    battle_test::FakeBattleScene scene_;
    CObjectRegistry registry_;

private:
    CObjectRegistry* saved_ = nullptr;
};

// Each carrier: made with the container as its look, its effect playing one
// frame; then drawn with the list or without one.
struct Carrier {
    const char* name;
    std::function<std::unique_ptr<CObjectDivision>(CResourceBase*)> make;
    std::function<i32(CObjectDivision*, CRenderList*)> draw;
};

const Carrier kCarriers[] = {
    {"stage",
        [](CResourceBase* look) -> std::unique_ptr<CObjectDivision> {
            auto stage = std::make_unique<CStage>();
            stage->SetResource(look);
            stage->Initialize(0);
            stage->Update(0);
            return stage;
        },
        [](CObjectDivision* o, CRenderList* list) { return static_cast<CStage*>(o)->Draw(list); }},
    {"bullet",
        [](CResourceBase* look) -> std::unique_ptr<CObjectDivision> {
            static CBulletParameter record;
            auto bullet = std::make_unique<CBullet>(&record);
            bullet->SetResource(look);
            bullet->CreateAttachedEffect();
            bullet->UpdateAttachedEffect();
            return bullet;
        },
        [](CObjectDivision* o, CRenderList* list) { return static_cast<CBullet*>(o)->Draw(list); }},
    {"weapon",
        [](CResourceBase* look) -> std::unique_ptr<CObjectDivision> {
            auto* settings = new CWeaponSetting();
            settings->RegisterKeys();
            settings->ApplyDefaults();
            settings->resource = CString("Non Name");
            settings->values.showFlag = 1;
            auto weapon = std::make_unique<CWeapon>(settings);
            weapon->SetResource(look);
            weapon->Initialize(0);
            weapon->Update(0);
            return weapon;
        },
        [](CObjectDivision* o, CRenderList* list) { return static_cast<CWeapon*>(o)->Draw(list); }},
};

TEST_F(EffectRenderListTest, ACarriedEffectsSortedParticlesGoIntoTheList)
{
    struct Case {
        u32 sorted;
        bool withList;
        u32 listed;      // entries added to the list
        size_t drawn;    // sprites drawn at once
    };
    const Case cases[] = {
        {1, true, 1, 0},
        {1, false, 0, 1},
        {0, true, 0, 1},
    };
    for (const Carrier& carrier : kCarriers) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(carrier.name) + (c.sorted ? " sorted" : " unsorted") +
                         (c.withList ? " with a list" : " without"));
            container_.Release();
            OneParticle(c.sorted);
            ASSERT_EQ(device_.BeginScene(), 1);
            std::unique_ptr<CObjectDivision> object = carrier.make(&container_);
            ASSERT_NE(object->GetAttachedEffect(), nullptr);
            CRenderList list("list", 16, &device_);
            const size_t before = fake_->Count("DrawPrimitiveUP");
            EXPECT_EQ(carrier.draw(object.get(), c.withList ? &list : nullptr), 1);
            EXPECT_EQ(list.GetUsedCount(), c.listed);
            EXPECT_EQ(fake_->Count("DrawPrimitiveUP") - before, c.drawn);
            if (c.listed) {
                list.Draw();
                EXPECT_EQ(fake_->Count("DrawPrimitiveUP") - before, 1u);
            }
            object.reset();
            device_.EndScene();
        }
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
