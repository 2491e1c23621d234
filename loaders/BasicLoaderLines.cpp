#include "loaders/BasicLoaderLines.h"

#include <algorithm>
#include <cstring>

void LoaderLineBuffer::MakeRoom(std::size_t count) {
  count = std::min(count, kTextCapacity);
  if (fill_ + count <= kTextCapacity) return;
  const std::size_t drop = fill_ + count - kTextCapacity;
  std::memmove(text_.data(), text_.data() + drop, fill_ - drop);
  fill_ -= drop;
  text_[fill_] = '\0';
}

void LoaderLineBuffer::Commit(std::size_t count) {
  fill_ = std::min(fill_ + count, kTextCapacity);
  text_[fill_] = '\0';
}

void LoaderLineBuffer::Append(std::string_view bytes) {
  // A chunk longer than the whole buffer keeps only its newest part.
  if (bytes.size() > kTextCapacity) bytes = bytes.substr(bytes.size() - kTextCapacity);
  MakeRoom(bytes.size());
  std::memcpy(WriteArea(), bytes.data(), bytes.size());
  Commit(bytes.size());
}

void LoaderLineBuffer::Scan(std::vector<const LoaderLine*>& found) {
  for (const LoaderLine& line : kLoaderLines) {
    const std::size_t at = Text().find(line.text);
    if (at == std::string_view::npos) continue;
    const std::size_t end = at + line.text.size();
    std::memmove(text_.data() + at, text_.data() + end, fill_ - end);
    fill_ -= line.text.size();
    text_[fill_] = '\0';
    found.push_back(&line);
  }
}

void LoaderLineBuffer::Clear() {
  fill_ = 0;
  text_[0] = '\0';
}
