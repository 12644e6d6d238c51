// The vector build chosen for the processor, and the forcing the dispatch tests rely on.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "numeric/dispatch.h"

namespace velmora {
namespace {

// Forcing a level makes it active and reset goes back to the detected level. When the
// Release dispatch tests set VELMORA_VECTOR_LEVEL, the level it names is the one running
// (otherwise they would test the same build three times).
TEST(VectorDispatch, ForcedLevelIsTheOneRunning) {
    const std::vector<VectorLevel> levels = SupportedVectorLevels();
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.front(), VectorLevel::Baseline);
    EXPECT_EQ(levels.back(), DetectedVectorLevel());
    if (const char* forced = std::getenv("VELMORA_VECTOR_LEVEL")) {
        EXPECT_EQ(std::string(VectorLevelName(ActiveVectorLevel())), forced);
    }

    for (const VectorLevel level : levels) {
        ForceVectorLevel(level);
        EXPECT_EQ(ActiveVectorLevel(), level) << VectorLevelName(level);
    }
    ResetVectorLevel();
    EXPECT_EQ(ActiveVectorLevel(), DetectedVectorLevel());
}

} // namespace
} // namespace velmora
