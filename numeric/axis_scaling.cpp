// The graduation of a plot axis: a round step (1, 2 or 5 times a power of ten) that divides the
// range into about two to four parts, and the multiples of it that lie in the range.
#include <LyrUtil.h>

#include <cmath>

namespace {

constexpr double kBases[] = {1.0, 2.0, 5.0};
constexpr int kParts[] = {2, 3, 4};
constexpr double kCandidateFactor = 5.0;
constexpr double kEndTolerance = 1e-9;
constexpr int kMaxTicks = 5;
// Placing the first tick takes a step or two; more means the step is lost in the rounding of
// the ends (a range tiny beside its values), and the axis gets no ticks.
constexpr int kMaxPlacementSteps = 8;

}  // namespace

// The base scaled by a power of ten to just below the ideal step. An ideal step that underflowed
// to zero would keep the downward loop going for ever once the base itself reaches zero, so the
// loop also ends there; a step of zero gives no ticks.
double ScaleBaseToStep(double idealStep, double base) {
  if (idealStep > 1.0) {
    while (base <= idealStep) base *= 10.0;
    return base * 0.1;
  }
  if (base < idealStep) return base;
  while (base >= idealStep && base > 0) base *= 0.1;
  return base;
}

namespace {

double ChooseStep(double range) {
  bool chosen = false;
  double step = 0;
  double distance = 0;
  for (int parts : kParts) {
    const double ideal = range / parts;
    for (double base : kBases) {
      double scaled = ScaleBaseToStep(ideal, base);
      double candidate = kCandidateFactor * (ideal - scaled) <= scaled ? scaled : 10 * scaled;
      if (candidate == ideal) {
        step = candidate;
        distance = 0;
        chosen = true;
        break;  // the remaining bases of this count are skipped
      }
      if (!chosen || std::fabs(candidate - ideal) < distance) {
        step = candidate;
        distance = std::fabs(candidate - ideal);
        chosen = true;
      }
    }
  }
  return step;
}

// The smallest multiple of the step not below the lowest value; false when the step is too small
// to move it.
bool FirstTick(double lowest, double step, double* tick) {
  double x = std::floor(lowest / step) * step;
  if (std::isinf(x)) {
    // Near the largest doubles the multiple at or below the lowest value may lie beyond them;
    // the next multiple up is the first tick, as the subtraction and the one addition below
    // would have found it without the overflow.
    *tick = (std::floor(lowest / step) + 1) * step;
    return std::isfinite(*tick);
  }
  int steps = 0;
  if (lowest >= 0) {
    while (x < lowest) {
      if (++steps > kMaxPlacementSteps) return false;
      x += step;
    }
  } else {
    while (x > lowest) {
      if (++steps > kMaxPlacementSteps) return false;
      x -= step;
    }
    if (x != lowest && x != 0) x += step;
  }
  // A step lost in the rounding of the values cannot move past the lowest value, nor from one
  // tick to the next: such an axis gets no ticks rather than ticks outside it or repeated.
  if (x < lowest || x + step == x) return false;
  *tick = x;
  return true;
}

}  // namespace

// A range of zero gets one tick, at its value; ends that are not finite, or a range too large
// for a double, get none.
void GetAxis(double lowest, double highest, AxisStruct& axis) {
  axis.nCount = 0;
  const double range = std::fabs(highest - lowest);
  if (!std::isfinite(lowest) || !std::isfinite(highest) || !std::isfinite(range)) return;
  if (range == 0) {
    axis.dValues[0] = lowest;
    axis.nCount = 1;
    return;
  }
  const double step = ChooseStep(range);
  double x;
  if (!(step > 0) || !FirstTick(lowest, step, &x) || x > highest) return;
  do {
    if (std::fabs(x - highest) < kEndTolerance) {
      axis.dValues[axis.nCount++] = highest;
      return;
    }
    axis.dValues[axis.nCount++] = x;
    x += step;
  } while (x <= highest && axis.nCount < kMaxTicks);
}
