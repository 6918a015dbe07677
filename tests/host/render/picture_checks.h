#pragma once
// Reading colours out of viewport pictures in the tests.
#include <cstdlib>
#include <ostream>

#include "host/render/image.h"

namespace mqhost {

inline void PrintTo(const Rgba& c, std::ostream* os) {
  *os << "rgb(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

}  // namespace mqhost

namespace viewport_test {

// Whether two colours differ by at most `tolerance` in each channel.
inline bool Near(const mqhost::Rgba& a, const mqhost::Rgba& b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

}  // namespace viewport_test
