// The 3D console: its radius for a stage box and its hand-over to the
// battle console's 3D pass.
#include "game/battle/object/StageSetting.h"
#include "game/battle/scene/Console3D.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"

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

TEST(Console3DRadius, HoldsTheWholeStageBox)
{
    const struct {
        CVector3 min, max;
        f32 radius;
    } cases[] = {
        {{-300, -400, -1200}, {300, 400, 1200}, 1300},
        {{0, 0, 0}, {300, 400, 0}, 500},       // the smaller corner would give 0 and minus 1 a negative radius
        {{-100, 0, -50}, {30, 0, 120}, 156.205f},   // lopsided: (100, 0, 120), the farther side per axis
        {{0, 0, 0}, {0, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        CStageSetting stage;
        stage.GetParameters()->box = CBox(c.min, c.max);
        CConsole3D view;
        ASSERT_EQ(view.Initialize(reinterpret_cast<intptr_t>(&stage)), 1);
        EXPECT_NEAR(view.GetBoundingRadius(), c.radius, 1e-3);
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
