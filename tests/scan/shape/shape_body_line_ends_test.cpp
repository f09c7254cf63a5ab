// A body whose every line end was doubled to CR CR LF (an export that wrote CR LF through a layer
// turning LF into CR LF) is followed as the same body with CR LF line ends: its parts' headers
// end at their empty lines, its attachments are seen and it ends behind its closing line.
#include <gtest/gtest.h>

#include <string>

#include "scan/shape/shape_body.h"

namespace quillon {
namespace {

struct LineEndRow {
  const char* name;
  std::string body;      // behind the header block's empty line, CR LF line ends
  std::string boundary;  // of the mail's multipart, "" for a plain mail
  std::size_t parts;     // attachments the following must see
  // Text that stands right behind where the mail ends; "" where a NUL ends it.
  std::string behindEnd = "";
};

std::string Doubled(std::string text) {
  std::string doubled;
  for (const char c : text) {
    if (c == '\n' && !doubled.empty() && doubled.back() == '\r') doubled += '\r';
    doubled += c;
  }
  return doubled;
}

constexpr std::uint64_t kBase = 8192;

struct Followed {
  ShapeCandidate candidate;
  std::uint64_t expectedEnd = 0;  // absolute byte where the mail must end
};

Followed Follow(const LineEndRow& row, bool doubled) {
  const std::string emptyLine = doubled ? "\r\r\n" : "\r\n";
  std::string bytes = emptyLine + (doubled ? Doubled(row.body) : row.body);
  Followed followed;
  const std::size_t nul = bytes.size();
  if (!row.behindEnd.empty()) {
    const std::size_t at = bytes.rfind(doubled ? Doubled(row.behindEnd) : row.behindEnd);
    followed.expectedEnd = kBase + at;
  } else {
    followed.expectedEnd = kBase + nul;
  }
  bytes += std::string(64, '\0');
  followed.candidate.headers.boundary = row.boundary;
  if (!row.boundary.empty()) followed.candidate.headers.contentType = "multipart/mixed";
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                           kBase};
  FollowBody(buffer, followed.candidate, emptyLine.size(), false, bytes.size(), 1252);
  return followed;
}

class ShapeBodyLineEnds : public testing::TestWithParam<LineEndRow> {};

TEST_P(ShapeBodyLineEnds, DoubledLineEndsFollowAsSingleOnes) {
  for (const bool doubled : {false, true}) {
    SCOPED_TRACE(doubled ? "CR CR LF" : "CR LF");
    const Followed followed = Follow(GetParam(), doubled);
    const MailBody& body = followed.candidate.body;
    ASSERT_EQ(body.parts.size(), GetParam().parts);
    for (const PartEntry& part : body.parts) EXPECT_GT(part.size, 0);
    EXPECT_EQ(body.textEnd, followed.expectedEnd);
    EXPECT_NE(body.bodyText.find("hello there"), std::string::npos);
  }
}

const std::string kAttachment =
    "--b1\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nQUJDREVG\r\n";

INSTANTIATE_TEST_SUITE_P(
    Bodies, ShapeBodyLineEnds,
    testing::Values(LineEndRow{"PlainText", "hello there\r\nsecond line\r\n", "", 0},
                    LineEndRow{"TextAndAttachment",
                               "--b1\r\nContent-Type: text/plain\r\n\r\nhello there\r\n" +
                                   kAttachment + "--b1--\r\n",
                               "b1", 1},
                    LineEndRow{"OldBytesBehindClosingLine",
                               "--b1\r\nContent-Type: text/plain\r\n\r\nhello there\r\n" +
                                   kAttachment + "--b1--\r\nold text of another file\r\n",
                               "b1", 1, "old text of another file"},
                    LineEndRow{
                        "FoldedPartHeader",
                        "preamble\r\n--b1\r\nContent-Type: text/plain;\r\n charset=us-ascii\r\n\r\n"
                        "hello there\r\n" +
                            kAttachment + kAttachment + "--b1--\r\n",
                        "b1", 2}),
    [](const testing::TestParamInfo<LineEndRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
