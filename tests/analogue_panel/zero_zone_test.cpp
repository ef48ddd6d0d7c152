// The zero zone of the position dial, in view pixels.
#include <gtest/gtest.h>

#include "zero_zone.h"

namespace qe::ui::test {
namespace {

struct ZoneCase {
    QSize view;
    QPoint point;
    bool inside;
};

TEST(ZeroZone, CoversTheDesignedPixelsWithEveryBoundExclusive) {
    const ZoneCase cases[] = {
        // 650 x 654: the dial's square starts at y = 2; the zone is x 259..391, y 445..478.
        {{650, 654}, {259, 445}, true},
        {{650, 654}, {391, 478}, true},
        {{650, 654}, {258, 445}, false},
        {{650, 654}, {392, 445}, false},
        {{650, 654}, {259, 444}, false},
        {{650, 654}, {259, 479}, false},
        // 800 x 600: the square starts at x = 100; the zone is x 339..461, y 409..439.
        {{800, 600}, {339, 409}, true},
        {{800, 600}, {461, 439}, true},
        {{800, 600}, {338, 409}, false},
        {{800, 600}, {462, 409}, false},
        {{800, 600}, {339, 408}, false},
        {{800, 600}, {339, 440}, false},
        // A square of 1000: u = 0.397 and v = 0.733 exactly lie outside.
        {{1000, 1000}, {397, 700}, false},
        {{1000, 1000}, {398, 700}, true},
        {{1000, 1000}, {500, 733}, false},
        {{1000, 1000}, {500, 732}, true},
        // An empty view has no zone.
        {{0, 0}, {0, 0}, false},
    };
    for (const ZoneCase& c : cases)
        EXPECT_EQ(inZeroZone(c.view, c.point), c.inside)
            << c.view.width() << " x " << c.view.height() << " at " << c.point.x() << ", "
            << c.point.y();
}

}  // namespace
}  // namespace qe::ui::test
