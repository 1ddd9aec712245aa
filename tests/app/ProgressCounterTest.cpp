#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ProgressCounter.h"

namespace hc12 {
namespace {

using Action = ProgressCounter::Action;

ProgressCounter Measured(int32_t fieldWidth) {
    ProgressCounter p;
    p.MeasureRange(fieldWidth);
    return p;
}

struct RunCase {
    const char* name;
    int32_t fieldWidth;
    int32_t total;
    int32_t expectedUpdates;  // how often the gauge is touched before the end
    int32_t firstStep, firstValue;
    int32_t lastStep, lastValue;
};

// Runs one whole operation: a start, then `total` steps.
TEST(ProgressCounterTest, WholeOperationsTouchTheGaugeOnlyWhenTheValueChanges) {
    const RunCase cases[] = {
        // range 100, total 1000: steps 1..9 show nothing, 10 shows 1, 990 shows 99
        {"total larger than range", 200, 1000, 99, 10, 1, 990, 99},
        // total 40 < range 100: the value jumps by more than one per step
        {"total smaller than range", 200, 40, 39, 1, 2, 39, 97},
        // total 1: the first step ends it, nothing is ever shown
        {"total one", 200, 1, 0, 0, 0, 0, 0},
        {"odd field width truncates the range", 201, 300, 99, 3, 1, 297, 99},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        ProgressCounter p = Measured(c.fieldWidth);
        EXPECT_EQ(p.Progress(c.total).action, Action::Create);
        int32_t updates = 0, firstStep = 0, firstValue = 0, lastStep = 0, lastValue = 0;
        for (int32_t step = 1; step < c.total; ++step) {
            const auto e = p.Progress(0);
            ASSERT_NE(e.action, Action::Destroy) << "step " << step;
            if (e.action != Action::SetValue)
                continue;
            if (updates++ == 0)
                firstStep = step, firstValue = e.value;
            lastStep = step;
            lastValue = e.value;
        }
        EXPECT_EQ(p.Progress(0).action, Action::Destroy);
        EXPECT_FALSE(p.GaugeExists());
        EXPECT_EQ(p.counter(), 0);
        EXPECT_EQ(updates, c.expectedUpdates);
        EXPECT_EQ(firstStep, c.firstStep);
        EXPECT_EQ(firstValue, c.firstValue);
        EXPECT_EQ(lastStep, c.lastStep);
        EXPECT_EQ(lastValue, c.lastValue);
        // The end after a complete count has nothing left to do.
        EXPECT_EQ(p.Progress(-1).action, Action::None);
    }
}

TEST(ProgressCounterTest, TotalNearTwoToTheThirtyOneIsExact) {
    // 2^31 - 1 steps over range 100: the value turns 1 exactly when counter * 100
    // reaches the total, at counter 21474837 (21474836 * 100 is still below it).
    ProgressCounter p = Measured(200);
    p.Progress(INT32_MAX);
    for (int32_t step = 1; step < 21474837; ++step)
        ASSERT_EQ(p.Progress(0).action, Action::None) << "step " << step;
    const auto e = p.Progress(0);
    EXPECT_EQ(e.action, Action::SetValue);
    EXPECT_EQ(e.value, 1);
}

TEST(ProgressCounterTest, StepsAndEndsWithoutGaugeChangeNothing) {
    ProgressCounter p = Measured(200);
    EXPECT_EQ(p.Progress(0).action, Action::None);  // no start yet
    EXPECT_EQ(p.counter(), 0);
    EXPECT_EQ(p.Progress(-1).action, Action::None);
    EXPECT_FALSE(p.GaugeExists());

    p.Progress(10);
    p.Progress(0);
    EXPECT_EQ(p.Progress(-1).action, Action::Destroy);  // an early end
    EXPECT_EQ(p.counter(), 0);
    EXPECT_EQ(p.total(), 10);  // the end leaves total and last value alone
    EXPECT_EQ(p.lastValue(), 10);
    EXPECT_EQ(p.Progress(0).action, Action::None);
    EXPECT_EQ(p.counter(), 0);
}

TEST(ProgressCounterTest, StartWhileRunningBeginsAgainFromZero) {
    ProgressCounter p = Measured(200);
    p.Progress(10);
    for (int i = 0; i < 5; ++i)
        p.Progress(0);
    EXPECT_EQ(p.lastValue(), 50);
    EXPECT_EQ(p.Progress(4).action, Action::Create);  // the old gauge goes, a new one shows 0
    EXPECT_EQ(p.counter(), 0);
    EXPECT_EQ(p.lastValue(), 0);
    const auto e = p.Progress(0);
    EXPECT_EQ(e.action, Action::SetValue);
    EXPECT_EQ(e.value, 25);
}

TEST(ProgressCounterTest, RangeIsMeasuredOnceFromANonEmptyField) {
    ProgressCounter p;
    p.MeasureRange(1);  // a field of one pixel gives no range yet
    EXPECT_FALSE(p.RangeMeasured());
    p.MeasureRange(300);
    EXPECT_EQ(p.range(), 150);
    p.MeasureRange(600);  // a later, wider field changes nothing
    EXPECT_EQ(p.range(), 150);
}

}  // namespace
}  // namespace hc12
