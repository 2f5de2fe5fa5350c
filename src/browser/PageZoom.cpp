#include "browser/PageZoom.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tarnvik::zoom {

namespace {
// The steps of the common desktop browsers.
constexpr std::array kSteps{0.25, 0.33, 0.5, 0.67, 0.75, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 4.0, 5.0};
constexpr double kTolerance = 0.001;

double &current()
{
    static double factor = kDefault;
    return factor;
}
} // namespace

double stepped(double factor, int steps)
{
    if (!std::isfinite(factor))
        factor = kDefault;
    factor = std::clamp(factor, kSteps.front(), kSteps.back());
    for (; steps > 0; --steps) {
        const auto next = std::find_if(kSteps.begin(), kSteps.end(),
                                       [factor](double step) { return step > factor + kTolerance; });
        factor = next == kSteps.end() ? kSteps.back() : *next;
    }
    for (; steps < 0; ++steps) {
        const auto next = std::find_if(kSteps.rbegin(), kSteps.rend(),
                                       [factor](double step) { return step < factor - kTolerance; });
        factor = next == kSteps.rend() ? kSteps.front() : *next;
    }
    return factor;
}

double sessionFactor()
{
    return current();
}

double setSessionFactor(double factor)
{
    current() = stepped(factor, 0);
    return current();
}

} // namespace tarnvik::zoom
