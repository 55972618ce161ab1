#include "game/scenes/MenuScene.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

namespace {

// Out, peak halfway, back; nothing before or after.
TEST(MenuScene, ArrowBounceRisesToItsPeakHalfwayAndComesBack)
{
    const struct {
        f32 time, offset;
    } cases[] = {{-0.1f, 0.0f}, {0.0f, 0.0f}, {0.075f, 4.5f}, {0.15f, 6.0f}, {0.225f, 4.5f}, {0.3f, 0.0f}, {1.0f, 0.0f}};
    for (const auto& c : cases) EXPECT_NEAR(menu::ArrowBounce(c.time), c.offset, 1e-4f) << c.time;
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
