#pragma once
// A fixed-capacity text field. The capacity counts the terminator of the
// original zero-terminated fields, so FixedText<20> holds at most 19 bytes.
// Every assignment is bounded: a longer source is cut, never written past.
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

template <std::size_t Capacity>
class FixedText {
  static_assert(Capacity >= 1);

 public:
  static constexpr std::size_t kMaxLength = Capacity - 1;

  FixedText() { data_[0] = '\0'; }
  FixedText(std::string_view text) { Assign(text); }  // NOLINT: implicit by design

  // Returns false when the text had to be cut.
  bool Assign(std::string_view text) {
    std::size_t n = text.size() < kMaxLength ? text.size() : kMaxLength;
    if (n > 0) std::memcpy(data_.data(), text.data(), n);
    data_[n] = '\0';
    length_ = n;
    return n == text.size();
  }
  FixedText& operator=(std::string_view text) {
    Assign(text);
    return *this;
  }
  bool Append(std::string_view text) {
    std::string joined(view());
    joined.append(text);
    return Assign(joined);
  }
  void Clear() { Assign({}); }

  std::string_view view() const { return {data_.data(), length_}; }
  std::string str() const { return std::string(view()); }
  const char* c_str() const { return data_.data(); }
  std::size_t size() const { return length_; }
  bool empty() const { return length_ == 0; }
  bool Contains(std::string_view part) const { return view().find(part) != std::string_view::npos; }
  operator std::string_view() const { return view(); }  // NOLINT

 private:
  std::array<char, Capacity> data_{};
  std::size_t length_ = 0;
};

template <std::size_t N>
bool operator==(const FixedText<N>& a, std::string_view b) {
  return a.view() == b;
}
