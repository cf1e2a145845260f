#pragma once

namespace qv {

// Progress of a spring released from 0 towards 1, `t` seconds after release. `response` is the
// period of the undamped oscillation in seconds, `dampingFraction` 1 for no overshoot, less for a
// bounce. Overshoots above 1 while it bounces; reaches 1 for large t.
double springProgress(double response, double dampingFraction, double t);

// How long the spring takes until it stays within 0.1 % of its target.
double springSettlingTime(double response, double dampingFraction);

// Cubic ease-out of a linear progress 0..1.
double easeOut(double progress);

} // namespace qv
