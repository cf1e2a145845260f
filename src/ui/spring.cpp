#include "ui/spring.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qv {

double springProgress(double response, double dampingFraction, double t)
{
    if (t <= 0)
        return 0;
    if (response <= 0)
        return 1;
    const double omega = 2 * std::numbers::pi / response;
    const double zeta = std::max(0.0, dampingFraction);
    if (zeta >= 1) {
        // Critically damped (over-damped springs are treated alike: they only creep slower).
        return 1 - std::exp(-omega * t) * (1 + omega * t);
    }
    const double damped = omega * std::sqrt(1 - zeta * zeta);
    const double envelope = std::exp(-zeta * omega * t);
    return 1 - envelope * (std::cos(damped * t) + (zeta * omega / damped) * std::sin(damped * t));
}

double springSettlingTime(double response, double dampingFraction)
{
    if (response <= 0)
        return 0;
    const double omega = 2 * std::numbers::pi / response;
    const double decay = std::max(0.05, std::min(1.0, dampingFraction)) * omega;
    return std::log(1000.0) / decay;
}

double easeOut(double progress)
{
    const double p = std::clamp(progress, 0.0, 1.0);
    return 1 - std::pow(1 - p, 3);
}

} // namespace qv
