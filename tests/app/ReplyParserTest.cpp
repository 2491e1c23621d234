#include <gtest/gtest.h>

#include "app/ReplyParser.h"

namespace {

std::vector<ParsedReply> Feed(ReplyParser& p, std::string_view bytes,
                              std::vector<std::string>* lines = nullptr) {
  std::vector<ParsedReply> events;
  p.Feed(bytes, events, lines);
  return events;
}

std::vector<int> Codes(const std::vector<ParsedReply>& events) {
  std::vector<int> codes;
  for (const auto& e : events) codes.push_back(e.code);
  return codes;
}

}  // namespace

TEST(ReplyParser, MarkersAnywhereInTheLineInTableOrder) {
  ReplyParser p;
  auto e = Feed(p, "xyzI.2010#12345\r\n");
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].code, 2010);
  EXPECT_EQ(e[0].text, "12345");

  e = Feed(p, "I.2013\r\n");
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].code, 2013);
  EXPECT_EQ(e[0].text, "");

  EXPECT_EQ(Codes(Feed(p, "!\r\n")), (std::vector<int>{10010}));
  EXPECT_EQ(Codes(Feed(p, "A.1111!\r\n")), (std::vector<int>{10010, 10011}));
  EXPECT_EQ(Codes(Feed(p, "?C.12\r\n")), (std::vector<int>{10011, 10012}));
  EXPECT_EQ(Codes(Feed(p, "B.31#x!\r\n")), (std::vector<int>{31, 10010}));

  e = Feed(p, "I.30$12.5\r\n");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_FALSE(e[0].hasValue);
  EXPECT_TRUE(e[1].hasValue);
  EXPECT_DOUBLE_EQ(e[1].value, 12.5);
}

TEST(ReplyParser, LineSplitOverReadsAndSeveralLinesInOneRead) {
  ReplyParser p;
  std::vector<std::string> lines;
  EXPECT_TRUE(Feed(p, "I.20", &lines).empty());
  EXPECT_TRUE(Feed(p, "13#PCB-1\r", &lines).empty());
  auto e = Feed(p, "\nI.2010#99\r\n!\r\nI.20", &lines);
  EXPECT_EQ(Codes(e), (std::vector<int>{2013, 2010, 10010}));
  EXPECT_EQ(e[0].text, "PCB-1");
  EXPECT_EQ(e[1].text, "99") << "each event keeps its own text";
  EXPECT_EQ(lines, (std::vector<std::string>{"I.2013#PCB-1", "I.2010#99", "!"}));
  EXPECT_EQ(p.Buffered(), 4u);
  EXPECT_EQ(Feed(p, std::string("\0\0", 2)).size(), 0u);
  EXPECT_EQ(p.Buffered(), 4u) << "trailing zero bytes are not data";
}

TEST(ReplyParser, OverlongLineIsDroppedUpToItsEndAndTextsAreBounded) {
  ReplyParser p;
  std::string longLine = "I.2010#" + std::string(1200, 'x');
  for (std::size_t at = 0; at < longLine.size(); at += 250)
    EXPECT_TRUE(Feed(p, longLine.substr(at, 250)).empty());
  EXPECT_LE(p.Buffered(), ReplyParser::kBufferSize);
  auto e = Feed(p, "yy\r\nI.205#SER\r\n");
  ASSERT_EQ(e.size(), 1u) << "the tail of the long line is not a reply";
  EXPECT_EQ(e[0].code, 205);

  e = Feed(p, "I.2011#" + std::string(300, 'v') + "\r\n");
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].text.size(), ReplyParser::kTextSize - 1);
}

TEST(ReplyParser, FramedBootLoaderRecordAndAcknowledgeByte) {
  ReplyParser p;
  EXPECT_FALSE(p.FramedRecordSeen());
  auto e = Feed(p, std::string("\x10h00h\x1D"
                               "BL V2.1 812\x0C\x16rest"));
  ASSERT_EQ(Codes(e), (std::vector<int>{10042}));
  EXPECT_EQ(e[0].text, "BL V2.1 812");
  EXPECT_EQ(p.Buffered(), 4u) << "what follows the record stays";
  EXPECT_EQ(Codes(Feed(p, "!\r\n")), (std::vector<int>{10010}));
  EXPECT_TRUE(p.FramedRecordSeen());
  EXPECT_EQ(p.Buffered(), 0u);

  ReplyParser q;
  e = Feed(q, std::string("h11h\x1E"
                          "SENSOR\x0A\x16"));
  ASSERT_EQ(Codes(e), (std::vector<int>{10042}));
  EXPECT_EQ(e[0].text, "SENSOR");

  ReplyParser r;
  EXPECT_EQ(Codes(Feed(r, "junk\x90more")), (std::vector<int>{10044}));
  EXPECT_EQ(r.Buffered(), 0u);
  EXPECT_TRUE(r.FramedRecordSeen());
}
