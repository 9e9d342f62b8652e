// GetAxis fed any two doubles over a record holding anything: it always returns, writes at most
// the five values it may, in ascending order, none above the highest value, and none below the
// lowest.
#include <LyrUtil.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  double ends[2];
  if (size < sizeof ends) return 0;
  std::memcpy(ends, data, sizeof ends);
  AxisStruct axis;
  std::memset(&axis, 0xA5, sizeof axis);  // whatever the caller left there, a count too
  size_t rest = size - sizeof ends;
  std::memcpy(&axis, data + sizeof ends, rest < sizeof axis ? rest : sizeof axis);
  GetAxis(ends[0], ends[1], axis);
  if (axis.nCount < 0 || axis.nCount > 5) std::abort();
  for (LONG i = 0; i < axis.nCount; ++i) {
    double v = axis.dValues[i];
    if (!std::isfinite(v) || v > ends[1] || v < ends[0]) std::abort();
    if (i > 0 && v < axis.dValues[i - 1]) std::abort();
  }
  return 0;
}
