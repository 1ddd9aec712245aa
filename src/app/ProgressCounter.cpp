#include "ProgressCounter.h"

namespace hc12 {

void ProgressCounter::MeasureRange(int32_t fieldWidth) {
    if (range_ == 0)
        range_ = fieldWidth / 2;
}

ProgressCounter::Effect ProgressCounter::Progress(int32_t n) {
    if (n > 0) {
        // A new start replaces a running gauge; the start itself counts no step.
        total_ = n;
        counter_ = 0;
        lastValue_ = 0;
        gaugeExists_ = true;
        return {Action::Create, 0};
    }
    if (n < 0) {
        counter_ = 0;
        if (!gaugeExists_)
            return {};
        gaugeExists_ = false;
        return {Action::Destroy, 0};
    }
    if (gaugeExists_)
        ++counter_;
    if (counter_ >= total_) {
        counter_ = 0;
        if (!gaugeExists_)
            return {};
        gaugeExists_ = false;
        return {Action::Destroy, 0};
    }
    if (counter_ == 0)
        return {};
    // long double holds counter * range exactly even for totals near 2^31.
    const auto value = int32_t(static_cast<long double>(counter_) * range_ / total_);
    if (value == lastValue_)
        return {};
    lastValue_ = value;
    return {Action::SetValue, value};
}

}  // namespace hc12
