#include "Seams.h"
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>

namespace {

pb::Seam<int()> gPoint;

int Answer() {
    return gPoint ? gPoint.get()() : 0;
}

} // namespace

// Whatever order the overrides end in, and however their scope is left, the point answers as
// the newest override still alive, and as the program once none is.
TEST(Seam, AnOverrideEndsInAnyOrderAndWithItsScope) {
    auto one = gPoint.Use([] { return 1; });
    std::optional<decltype(gPoint)::Override> two(gPoint.Use([] { return 2; }));
    EXPECT_EQ(Answer(), 2);
    one.End(); // out of order: the newer one still holds
    EXPECT_EQ(Answer(), 2);
    auto moved = std::move(*two);
    two.reset(); // the moved-from guard ends nothing
    EXPECT_EQ(Answer(), 2);
    moved.End();
    EXPECT_EQ(Answer(), 0);
    one.End(); // a second end changes nothing
    try {
        const auto failing = gPoint.Use([] { return 3; });
        EXPECT_EQ(Answer(), 3);
        throw std::runtime_error("a test fails half-way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Answer(), 0);
    const auto empty = gPoint.Use({}); // an empty override: the program's own way
    EXPECT_FALSE(gPoint);
}
