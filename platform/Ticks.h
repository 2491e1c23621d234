#pragma once
// The millisecond tick counter: 32 bits, wraps after about 49.7 days.
#include <cstdint>

uint32_t GetTickCount();
