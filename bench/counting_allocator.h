#pragma once
// The benchmarks' memory figures: linked into a program, counting_allocator.cpp
// replaces the global operator new and delete with ones that count every
// block.
#include <cstdint>

// Starts a measurement: the peak from now on, above what is live now (the
// answer, to pass to PeakExtraMB).
int64_t StartPeak();
// The most held at once since StartPeak, beyond what was live then, in MB.
double PeakExtraMB(int64_t base);
