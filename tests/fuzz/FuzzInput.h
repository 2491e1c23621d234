#pragma once
// What every fuzz target shares: the input as text, split into a short
// first part (a key, a capacity) and the rest, and a check that aborts so
// that libFuzzer keeps the input as a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

inline std::string_view AsText(const uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Splits at the first byte 0x01: "key\x01rest". Without one, the key is empty.
inline void SplitInput(std::string_view input, std::string_view& head, std::string_view& rest) {
  const std::size_t cut = input.find('\x01');
  head = cut == std::string_view::npos ? std::string_view{} : input.substr(0, cut);
  rest = cut == std::string_view::npos ? input : input.substr(cut + 1);
}

#define FUZZ_CHECK(condition)                                                                  \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                            \
    }                                                                                          \
  } while (0)
