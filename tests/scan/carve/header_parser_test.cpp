#include "scan/carve/header_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/read/block_header.h"

namespace quillon {
namespace {

// Parses every line of `text` (CR LF lines) as the walk would: line by line, resuming behind
// what the parser consumed. Returns the pending mail and whether it was accepted.
struct ParseRun {
  PendingMail pending;
  bool accepted = false;
  std::vector<std::size_t> resumedAt;  // where the walk resumed after each stored line
};

ParseRun ParseLines(std::string text) {
  text.append(2048, '\0');
  const std::vector<std::uint8_t> data(text.begin(), text.end());
  SteppedBytes bytes(CarveBuffer{data.data(), data.size(), 0});
  ParseRun run;
  std::size_t p = 0;
  while (p < bytes.Bytes().size && bytes.Bytes().data[p] != 0) {
    std::size_t skip = 0;
    const HeaderLineResult result = ParseHeaderLine(bytes, p, run.pending, skip);
    if (result == HeaderLineResult::Accept) {
      run.accepted = true;
      break;
    }
    const CarveBuffer buffer = bytes.Bytes();
    std::size_t b = p + skip + 1;
    if (skip != 0) run.resumedAt.push_back(buffer.PositionOf(b));
    while (b + 1 < buffer.size && !(buffer.data[b] == '\r' && buffer.data[b + 1] == '\n')) ++b;
    p = b + 2;
  }
  return run;
}

TEST(HeaderParserTest, AcceptsAtTheEmptyLineOnceFromToAndDateAreSeen) {
  ParseRun run = ParseLines("From: a@example.org\r\nTo: b@example.org\r\nDate: 1 Jan 2001\r\n\r\n");
  EXPECT_TRUE(run.accepted);
  run = ParseLines("From: a@example.org\r\nTo: b@example.org\r\n\r\nDate: 1 Jan 2001\r\n");
  EXPECT_FALSE(run.accepted) << "a mail without a Date before its empty line is not accepted";
}

TEST(HeaderParserTest, FirstOccurrenceWins) {
  ParseRun run = ParseLines("From: first@example.org\r\nFrom: second@example.org\r\n");
  EXPECT_EQ(run.pending.from, "first@example.org");
}

TEST(HeaderParserTest, SkipResumesAtTheLineEnd) {
  ParseRun run = ParseLines("Subject: hi\r\n");
  ASSERT_EQ(run.resumedAt.size(), 1u);
  EXPECT_EQ(run.resumedAt[0], std::string("Subject: hi").size());
}

TEST(HeaderParserTest, EmptyValueConsumesOnlyTheName) {
  ParseRun run = ParseLines("Subject: \r\n");
  EXPECT_EQ(run.pending.subject, "");
  ASSERT_EQ(run.resumedAt.size(), 1u);
  EXPECT_EQ(run.resumedAt[0], 9u);
}

TEST(HeaderParserTest, ValueOfMoreThan511BytesIsEmptyAndALaterLineFillsIt) {
  ParseRun run = ParseLines("To: " + std::string(600, 'x') + "\r\nTo: b@example.org\r\n");
  EXPECT_EQ(run.pending.to, "b@example.org");
}

// RFC 5322 2.2.3: folded lines are joined, each fold's white space kept as one blank.
TEST(HeaderParserTest, UnfoldsSubjectFromToAndCc) {
  ParseRun run = ParseLines(
      "Subject: a long\r\n  subject\r\n\tin three lines\r\n"
      "To: one@example.org,\r\n two@example.org\r\n"
      "Cc: three@example.org,\r\n\tfour@example.org\r\n"
      "From: \"Name\"\r\n <a@example.org>\r\nDate: x\r\n");
  EXPECT_EQ(run.pending.subject, "a long subject in three lines");
  EXPECT_EQ(run.pending.to, "one@example.org, two@example.org");
  EXPECT_EQ(run.pending.cc, "three@example.org, four@example.org");
  EXPECT_EQ(run.pending.from, "\"Name\" <a@example.org>");
  EXPECT_EQ(run.pending.date, "x") << "the walk resumed exactly at the folded value's end";
}

TEST(HeaderParserTest, UnfoldingStopsAt8KiB) {
  std::string text = "Subject: start";
  for (int i = 0; i < 40; ++i) text += "\r\n " + std::string(300, 'a' + i % 26);
  text += "\r\nDate: x\r\n";
  ParseRun run = ParseLines(text);
  EXPECT_LE(run.pending.subject.size(), kMaxUnfoldedValue);
  EXPECT_GT(run.pending.subject.size(), kMaxUnfoldedValue - 302);
  EXPECT_EQ(run.pending.date, "x");
}

TEST(HeaderParserTest, ContinuationLongerThanALineIsNotJoined) {
  ParseRun run = ParseLines("Subject: start\r\n " + std::string(600, 'x') + "\r\nDate: x\r\n");
  EXPECT_EQ(run.pending.subject, "start");
  EXPECT_EQ(run.pending.date, "x");
}

// A mail store's block header sitting at the start of a folded line is removed as the walk would
// remove it, and the value reads on without it.
TEST(HeaderParserTest, RemovesBlockHeaderInsideFoldedValue) {
  std::string text = "Subject: first part\r\n second part\r\nDate: x\r\n";
  const std::size_t fold = text.find(" second");
  std::string header("\x10\x00\x00\x00\x00\x02\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00", 16);
  // Put the header 4-aligned a few bytes into the continuation line.
  const std::size_t at = (fold + 4) / 4 * 4;
  text.insert(at, header);
  ParseRun run = ParseLines(text);
  EXPECT_EQ(run.pending.subject, "first part second part");
  EXPECT_EQ(run.pending.date, "x");
}

struct ContentTypeRow {
  const char* name;
  const char* lines;
  const char* contentType;
  const char* boundary;
};

class ContentTypeTest : public testing::TestWithParam<ContentTypeRow> {};

TEST_P(ContentTypeTest, BoundaryAndCharset) {
  ParseRun run = ParseLines(GetParam().lines);
  EXPECT_EQ(run.pending.contentType, GetParam().contentType);
  EXPECT_EQ(run.pending.boundary, GetParam().boundary);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ContentTypeTest,
    testing::Values(ContentTypeRow{"QuotedOnFirstLine",
                                   "Content-Type: multipart/mixed; boundary=\"abc\"\r\n",
                                   "multipart/mixed;", "abc"},
                    ContentTypeRow{"OnContinuation",
                                   "Content-Type: multipart/alternative;\r\n\tboundary=\"xyz\"\r\n",
                                   "multipart/alternative;", "xyz"},
                    ContentTypeRow{"CharsetOnContinuation",
                                   "Content-Type: text/plain;\r\n\tcharset=\"gb2312\"\r\n",
                                   "text/plain; charset=\"gb2312\"", ""},
                    // An unquoted boundary keeps every character.
                    ContentTypeRow{"Unquoted", "Content-Type: multipart/mixed; boundary=abc\r\n",
                                   "multipart/mixed;", "abc"},
                    ContentTypeRow{"UnquotedFollowedByParameter",
                                   "Content-Type: multipart/mixed; boundary=abc; type=x\r\n",
                                   "multipart/mixed;", "abc"},
                    ContentTypeRow{"NextHeaderIsNotAContinuation",
                                   "Content-Type: text/plain\r\nX-Other: charset=koi8-r\r\n",
                                   "text/plain", ""}),
    [](const testing::TestParamInfo<ContentTypeRow>& row) { return row.param.name; });

TEST(HeaderParserTest, BoundaryLineAcceptsACompleteHeaderBlockAndNotesAnInnerBoundary) {
  ParseRun run = ParseLines(
      "Content-Type: multipart/mixed; boundary=\"outer\"\r\nFrom: a@x\r\nTo: b@x\r\nDate: d\r\n"
      "--outer\r\nContent-Type: multipart/alternative;\r\n\tboundary=\"inner\"\r\n");
  // The empty line is missing: acceptance comes at the boundary line.
  EXPECT_TRUE(run.accepted);
  EXPECT_EQ(run.pending.innerBoundary, "inner");
}

TEST(HeaderParserTest, AttachmentLines) {
  ParseRun run = ParseLines(
      "X-Attachment: report.doc, 12345\r\nX-Attachment: nocomma.doc\r\n"
      "X-Attachment: zero.doc, 0\r\nX-Attachment: , 5\r\n");
  ASSERT_EQ(run.pending.attachments.size(), 1u);
  EXPECT_EQ(run.pending.attachments[0].name, "report.doc");
  EXPECT_EQ(run.pending.attachments[0].size, 12345);
}

struct AttachmentRow {
  std::string name;
  std::string line;  // the value behind "X-Attachment: "
  std::string file;  // "" when the line adds nothing
  std::int64_t size = 0;
};

class AttachmentLineTest : public testing::TestWithParam<AttachmentRow> {};

// The size follows the comma with or without blanks; no digit of it is lost.
TEST_P(AttachmentLineTest, NameAndSize) {
  ParseRun run = ParseLines("X-Attachment: " + GetParam().line + "\r\n");
  if (GetParam().file.empty()) {
    EXPECT_TRUE(run.pending.attachments.empty());
    return;
  }
  ASSERT_EQ(run.pending.attachments.size(), 1u);
  EXPECT_EQ(run.pending.attachments[0].name, GetParam().file);
  EXPECT_EQ(run.pending.attachments[0].size, GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AttachmentLineTest,
    testing::Values(AttachmentRow{"BlankAfterComma", "report.doc, 12345", "report.doc", 12345},
                    AttachmentRow{"NoBlankAfterComma", "report.doc,12345", "report.doc", 12345},
                    AttachmentRow{"OneDigitNoBlank", "a.txt,7", "a.txt", 7},
                    AttachmentRow{"TwoBlanks", "a.txt,  42", "a.txt", 42},
                    AttachmentRow{"NoNumber", "a.txt,many", "", 0},
                    AttachmentRow{"ZeroSize", "a.txt,0", "", 0},
                    AttachmentRow{"NothingAfterComma", "a.txt,", "", 0}),
    [](const testing::TestParamInfo<AttachmentRow>& row) { return row.param.name; });

TEST(HeaderParserTest, NamesNeedTheirBlankAndIgnoreCase) {
  ParseRun run = ParseLines("FROM: upper@example.org\r\nTo:nospace@example.org\r\n");
  EXPECT_EQ(run.pending.from, "upper@example.org");
  EXPECT_EQ(run.pending.to, "");
}

TEST(BoundaryParameterTest, Forms) {
  EXPECT_EQ(BoundaryParameter("\"a b\"; x=y"), "a b");
  EXPECT_EQ(BoundaryParameter("----=_Part_1;"), "----=_Part_1");
  EXPECT_EQ(BoundaryParameter("\"unterminated"), "unterminated");
  EXPECT_EQ(BoundaryParameter(""), "");
}

}  // namespace
}  // namespace quillon
