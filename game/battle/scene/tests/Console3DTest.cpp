// The 3D console: its place and radius for a stage box and its hand-over
// to the battle console's 3D pass.
#include "game/battle/object/StageEnclosure.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/scene/Console3D.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"

namespace ORV_TEST_FILE_ID {

namespace {

// Draws with depth writes left on, as a careless pass might.
class Pass : public Console3DSource {
public:
    i32 Draw3D(u32 argument) override
    {
        GetGraphicDevice()->SetZWriteEnable(1);
        arguments.push_back(argument);
        return 1;
    }
    std::vector<u32> arguments;
};

using Console3DTest = console_test::ConsoleTest;

}  // namespace

// The enclosure's sphere about the box's centre, one unit smaller, so the
// console sorts right after the walls.
TEST(Console3DRadius, IsTheEnclosuresLessOne)
{
    const struct {
        CVector3 min, max;
        CVector3 centre;
        f32 radius;
    } cases[] = {
        {{-300, -400, -1200}, {300, 400, 1200}, {0, 0, 0}, 1299},
        {{0, 0, 0}, {300, 400, 0}, {150, 200, 0}, 249},
        {{-100, 0, -50}, {30, 0, 120}, {-35, 0, 35}, 106.0047f},   // half (65, 0, 85)
        {{-100, -100, -100}, {100, 100, 100}, {0, 0, 0}, 172.2051f},
    };
    for (const auto& c : cases) {
        CStageSetting stage;
        stage.GetParameters()->box = CBox(c.min, c.max);
        CConsole3D view;
        ASSERT_EQ(view.Initialize(reinterpret_cast<intptr_t>(&stage)), 1);
        EXPECT_NEAR(view.GetBoundingRadius(), c.radius, 1e-3) << c.max.x;
        EXPECT_NEAR(view.GetBoundingRadius(), CStageEnclosure::BoxRadius(CBox(c.min, c.max)) - 1.0f, 1e-4);
        EXPECT_EQ(view.GetPosition()->x, c.centre.x);
        EXPECT_EQ(view.GetPosition()->y, c.centre.y);
        EXPECT_EQ(view.GetPosition()->z, c.centre.z);
        EXPECT_EQ(view.IsDepthSorted(), 1u);
    }
    EXPECT_EQ(CConsole3D().Initialize(0), 0);
}

TEST_F(Console3DTest, DrawsThroughItsConsoleAndLeavesDepthWritesOff)
{
    EXPECT_EQ(CConsole3D().Draw(7), 0);
    Pass pass;
    CConsole3D view(&pass);
    EXPECT_EQ(view.Draw(7), 1);
    EXPECT_EQ(pass.arguments, std::vector<u32>{7});
    EXPECT_EQ(device_.GetRenderStates()->zWriteEnable, 0u);
}

}  // namespace ORV_TEST_FILE_ID
