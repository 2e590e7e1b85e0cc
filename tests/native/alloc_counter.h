// Counts calls of the global allocation functions, so tests can prove that code under test
// makes no heap allocation: compare AllocationCount() before and after the call.
#pragma once

#include <cstddef>

std::size_t AllocationCount();
