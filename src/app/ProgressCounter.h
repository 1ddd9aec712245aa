// The arithmetic of the progress gauge, without a window: the range is measured
// once, steps are counted, and the gauge is touched only when its value changes.
#pragma once

#include <cstdint>

namespace hc12 {

class ProgressCounter {
public:
    enum class Action { None, Create, SetValue, Destroy };
    struct Effect {
        Action action = Action::None;
        int32_t value = 0;  // for SetValue
    };

    // Measure the range from the gauge field's width; only the first call counts
    // (range stays once it is non-zero).
    void MeasureRange(int32_t fieldWidth);
    bool RangeMeasured() const { return range_ != 0; }

    // n > 0 start, n == 0 step, n < 0 end. Returns what to do with the gauge.
    Effect Progress(int32_t n);

    bool GaugeExists() const { return gaugeExists_; }
    int32_t total() const { return total_; }
    int32_t counter() const { return counter_; }
    int32_t range() const { return range_; }
    int32_t lastValue() const { return lastValue_; }

private:
    bool gaugeExists_ = false;
    int32_t total_ = 0;
    int32_t counter_ = 0;
    int32_t range_ = 0;
    int32_t lastValue_ = 0;
};

}  // namespace hc12
