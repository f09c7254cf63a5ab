#include "text/body_preview.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "text/ascii.h"
#include "text/code_page.h"

namespace quillon {
namespace {

// The code page a UTF-8 body is re-encoded in.
constexpr int kWestern = 1252;

// Runs the preview cut the way the preview pane does: on the mail, its lower-cased copy and the
// offset of the content type in that copy.
std::optional<std::string> Preview(std::string_view mail, std::string_view contentType = "text/",
                                   std::string_view endMarker = "</html>") {
  const std::string lowered = AsciiLowered(mail);
  const auto offset = lowered.find(contentType);
  std::string body = "stale";
  if (!DecodeBodyForPreview(mail, lowered,
                            offset == std::string::npos ? -1 : static_cast<long long>(offset),
                            endMarker, kWestern, body)) {
    EXPECT_EQ(body, "") << "a failed cut leaves no body";
    return std::nullopt;
  }
  return body;
}

struct PreviewCase {
  const char* label;
  std::string_view mail;
  std::optional<std::string_view> body;  // nullopt: the cut fails
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const PreviewCase& row, std::ostream* out) {
  *out << row.label;
}

class BodyPreviewTest : public ::testing::TestWithParam<PreviewCase> {};

TEST_P(BodyPreviewTest, CutsAndDecodesThePart) {
  const auto body = Preview(GetParam().mail);
  if (!GetParam().body) {
    EXPECT_FALSE(body.has_value()) << *body;
    return;
  }
  ASSERT_TRUE(body.has_value());
  EXPECT_EQ(*body, *GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BodyPreviewTest,
    ::testing::Values(
        PreviewCase{"Base64EndsAtBlankLine",
                    "Content-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                    "SGVsbG8g\r\nV29ybGQ=\r\n\r\nnext part",
                    "Hello World"},
        PreviewCase{"Base64EndsAtBoundaryMarker",
                    "Content-Type: text/plain\r\nContent-Transfer-Encoding: BASE64\r\n\r\n"
                    "SGVsbG8gV29ybGQ=\r\n--boundary--",
                    "Hello World"},
        PreviewCase{"Base64EndsAtNextMail",
                    "Content-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                    "SGVsbG8gV29ybGQ=\r\nReturn-Path: <x@y>",
                    "Hello World"},
        // Nothing ends the part: it runs to the end of the mail, whatever its encoding.
        PreviewCase{"Base64WithoutEndRunsToTheEnd",
                    "Content-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                    "SGVsbG8gV29ybGQ=",
                    "Hello World"},
        PreviewCase{"QuotedPrintableEndsBeforeHtmlEnd",
                    "Content-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
                    "<html>caf=E9 =\r\nok</html>\r\ntrailer",
                    "<html>caf\xE9 ok"},
        PreviewCase{
            "QuotedPrintableWithoutEndRunsToTheEnd",
            "Content-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
            "a=3Db and more!",
            "a=b and more!"},
        PreviewCase{"NoEncodingCountsAsQuotedPrintable",
                    "Content-Type: text/plain\r\n\r\na=3Db and more!", "a=b and more!"},
        PreviewCase{
            "EightBitWithoutEndRunsToTheEnd",
            "Content-Type: text/plain\r\nContent-Transfer-Encoding: 8bit\r\n\r\nabc def ghi",
            "abc def ghi"},
        PreviewCase{"EightBitEndsAtNextMail",
                    "Content-Type: text/plain\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                    "a=3Db text\r\nReturn-Path: <x@y>",
                    "a=3Db text\r\nR"},
        PreviewCase{"Utf8EncodingNameIsReencoded",
                    "Content-Type: text/plain\r\nContent-Transfer-Encoding: 8bit utf-8\r\n\r\n"
                    "caf\xC3\xA9 au lait</html>",
                    "caf\xE9 au lait"},
        PreviewCase{"EncodingWithoutLineEndFails",
                    "Content-Type: text/plain\r\nContent-Transfer-Encoding: base64", std::nullopt},
        PreviewCase{"EmptyEncodingFails",
                    "Content-Type: text/plain\r\nContent-Transfer-Encoding: \r\n\r\nabc</html>",
                    std::nullopt},
        PreviewCase{"NoBlankLineFails", "Content-Type: text/plain\r\nabc</html>", std::nullopt},
        PreviewCase{"EmptyBodySucceeds", "Content-Type: text/plain\r\n\r\n", ""}),
    [](const auto& row) { return std::string(row.param.label); });

TEST(BodyPreviewTest, EndSearchStartsTenBytesAfterTheBlankLine) {
  // The end marker is looked for from 10 bytes after the blank line's position, i.e. 6 bytes
  // into the body: a marker starting at body byte 5 is passed over, one at byte 6 ends it.
  const std::string head = "Content-Type: text/html\r\nContent-Transfer-Encoding: 7bit\r\n\r\n";
  EXPECT_EQ(Preview(head + "abcdef</html>xyz"), "abcdef");
  EXPECT_EQ(Preview(head + "abcde</html>xyz"), "abcde</html>xyz") << "no marker after it";
  EXPECT_EQ(Preview(head + "abcde</html>x</html>"), "abcde</html>x");
}

TEST(BodyPreviewTest, RejectsOffsetsOutsideTheMail) {
  const std::string mail = "Content-Type: text/plain\r\n\r\nbody text</html>";
  const std::string lowered = AsciiLowered(mail);
  std::string body;
  EXPECT_FALSE(DecodeBodyForPreview(mail, lowered, -1, "</html>", kWestern, body));
  EXPECT_FALSE(DecodeBodyForPreview(mail, lowered, static_cast<long long>(mail.size()) + 1,
                                    "</html>", kWestern, body));
  EXPECT_FALSE(DecodeBodyForPreview(mail, lowered, static_cast<long long>(mail.size()), "</html>",
                                    kWestern, body));
  EXPECT_TRUE(DecodeBodyForPreview(mail, lowered, 0, "</html>", kWestern, body));
  EXPECT_EQ(body, "body text");
}

TEST(BodyPreviewTest, RejectsALoweredCopyOfAnotherLength) {
  const std::string mail = "Content-Type: text/plain\r\n\r\nbody text</html>";
  std::string body;
  EXPECT_FALSE(DecodeBodyForPreview(mail, AsciiLowered(mail) + "x", 0, "</html>", kWestern, body));
  EXPECT_FALSE(DecodeBodyForPreview(mail, "", 0, "</html>", kWestern, body));
}

TEST(BodyPreviewTest, EmptyEndMarkerFallsBackToTheOtherMarkers) {
  const std::string mail =
      "Content-Type: text/plain\r\n\r\nbody text</html> more\r\n--boundary\r\n";
  const std::string lowered = AsciiLowered(mail);
  std::string body;
  ASSERT_TRUE(DecodeBodyForPreview(mail, lowered, 0, "", kWestern, body));
  EXPECT_EQ(body, "body text</html> more\r\n");
}

}  // namespace
}  // namespace quillon
