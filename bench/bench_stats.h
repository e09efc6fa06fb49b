// What the plain-program benchmarks share: a duration in microseconds and the
// median of a set of costs.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace tessaro::bench {

inline double Micros(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace tessaro::bench
