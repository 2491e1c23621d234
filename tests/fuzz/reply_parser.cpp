// Instrument replies arrive in pieces of any size: the buffers stay within
// their bounds and every event carries a bounded text.
#include <algorithm>
#include <vector>

#include "app/ReplyParser.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the chunk size, as reads of the port would.
  const std::size_t chunk = 1 + data[0] % ReplyParser::kReadChunk;
  std::string_view bytes = AsText(data + 1, size - 1);
  ReplyParser parser;
  std::vector<ParsedReply> events;
  std::vector<std::string> lines;
  while (!bytes.empty()) {
    std::size_t n = std::min({chunk, bytes.size(), parser.FreeSpace()});
    if (n == 0) {
      parser.Clear();
      continue;
    }
    parser.Feed(bytes.substr(0, n), events, &lines);
    bytes.remove_prefix(n);
    FUZZ_CHECK(parser.Buffered() <= ReplyParser::kBufferSize);
  }
  for (const ParsedReply& e : events) FUZZ_CHECK(e.text.size() <= ReplyParser::kLineSize);
  for (const std::string& line : lines) FUZZ_CHECK(line.size() <= ReplyParser::kLineSize);
  std::vector<ParsedReply> single;
  ReplyParser::ParseLine(AsText(data, size), single);
  return 0;
}
