#include "output/mime_parts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scan_harness.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

// File names without a charset in these tests are Western European.
constexpr int kWestern = 1252;

using test::CrLf;
using test::RowName;

const std::string kTop = CrLf(
    "From: Alice <alice@example.org>\n"
    "Subject: parts\n"
    "MIME-Version: 1.0\n");

// What one leaf looks like, in a form a table row can state.
struct LeafFacts {
  std::string contentType;
  std::string content;  // the bytes between contentBegin and contentEnd
  std::string fileName;
  bool delimited;
};

struct LeafRow {
  const char* name;
  std::string mail;
  std::vector<std::string> knownBoundaries;
  std::vector<LeafFacts> leaves;
};

void PrintTo(const LeafRow& row, std::ostream* out) {
  *out << row.name;
}

class Leaves : public ::testing::TestWithParam<LeafRow> {};

TEST_P(Leaves, StandWhereTheMailsOwnBoundariesPutThem) {
  const LeafRow& row = GetParam();
  const std::vector<MimeLeaf> leaves =
      ReadMimeStructure(row.mail, row.knownBoundaries, kWestern).leaves;
  ASSERT_EQ(leaves.size(), row.leaves.size());
  for (std::size_t i = 0; i < leaves.size(); ++i) {
    SCOPED_TRACE(i);
    const MimeLeaf& leaf = leaves[i];
    ASSERT_LE(leaf.contentBegin, leaf.contentEnd);
    EXPECT_EQ(leaf.contentType, row.leaves[i].contentType);
    EXPECT_EQ(row.mail.substr(leaf.contentBegin, leaf.contentEnd - leaf.contentBegin),
              row.leaves[i].content);
    EXPECT_EQ(std::string(leaf.fileName.begin(), leaf.fileName.end()), row.leaves[i].fileName);
    EXPECT_EQ(leaf.delimited, row.leaves[i].delimited);
  }
}

INSTANTIATE_TEST_SUITE_P(
    MimeParts, Leaves,
    ::testing::Values(
        LeafRow{"NotMultipartIsOneLeaf",
                kTop + CrLf("Content-Type: text/plain; charset=utf-8\n\nHello\n"),
                {},
                {{"text/plain", "Hello\r\n", "", false}}},
        LeafRow{"MixedTextAndFile",
                kTop + CrLf("Content-Type: multipart/mixed; boundary=\"=_b1\"\n\n"
                            "preamble\n--=_b1\nContent-Type: text/plain\n\nbody text\n"
                            "--=_b1\nContent-Type: application/pdf; name=\"r.pdf\"\n"
                            "Content-Transfer-Encoding: base64\n\nJVBERi0=\n--=_b1--\n"
                            "epilogue\n"),
                {},
                {{"text/plain", "body text", "", true},
                 {"application/pdf", "JVBERi0=", "r.pdf", true}}},
        LeafRow{"NestedAlternative",
                kTop + CrLf("Content-Type: multipart/mixed; boundary=out\n\n"
                            "--out\nContent-Type: multipart/alternative; boundary=in\n\n"
                            "--in\nContent-Type: text/plain\n\nplain\n"
                            "--in\nContent-Type: text/html\n\n<p>html</p>\n--in--\n\n"
                            "--out\nContent-Type: image/png\n"
                            "Content-Disposition: attachment; filename*=utf-8''%C3%A9.png\n\n"
                            "iVBO\n--out--\n"),
                {},
                {{"text/plain", "plain", "", true},
                 {"text/html", "<p>html</p>", "", true},
                 {"image/png", "iVBO", "\xE9.png", true}}},
        // "--outer" inside the text is not the boundary "out" (RFC 2046 5.1.1: the delimiter
        // line holds nothing else); trailing blanks after a delimiter are allowed.
        LeafRow{"LongerBoundaryThatStartsAlikeIsText",
                kTop + CrLf("Content-Type: multipart/mixed; boundary=out\n\n"
                            "--out  \nContent-Type: text/plain\n\n--outer space\nmore\n"
                            "--out--\n"),
                {},
                {{"text/plain", "--outer space\r\nmore", "", true}}},
        LeafRow{"BoundaryInsideALineIsText",
                kTop + CrLf("Content-Type: multipart/mixed; boundary=b\n\n"
                            "--b\nContent-Type: text/plain\n\nsee --b here\n--b--\n"),
                {},
                {{"text/plain", "see --b here", "", true}}},
        // The header read back names no boundary; the scan's record does.
        LeafRow{"KnownBoundaryStandsInForAMissingOne",
                kTop + CrLf("Content-Type: multipart/mixed\n\n"
                            "--kb\nContent-Type: text/plain\n\nfrom the record\n--kb--\n"),
                {"kb"},
                {{"text/plain", "from the record", "", true}}},
        LeafRow{"PartWithoutHeaderLines",
                kTop + CrLf("Content-Type: multipart/mixed; boundary=b\n\n"
                            "--b\n\nbare part\n--b--\n"),
                {},
                {{"text/plain", "bare part", "", true}}},
        // RFC 2046 5.1.5: in a digest a part that names no type is a message.
        LeafRow{"DigestPartsAreMessages",
                kTop + CrLf("Content-Type: multipart/digest; boundary=d\n\n"
                            "--d\n\nSubject: one\n\nx\n--d--\n"),
                {},
                {{"message/rfc822", "Subject: one\r\n\r\nx", "", true}}},
        LeafRow{"TextCutBeforeTheClosingLine",
                kTop + CrLf("Content-Type: multipart/mixed; boundary=b\n\n"
                            "--b\nContent-Type: text/plain\n\nfirst\n"
                            "--b\nContent-Type: text/plain\n\ncut sh"),
                {},
                {{"text/plain", "first", "", true}, {"text/plain", "cut sh", "", false}}},
        LeafRow{"LineFeedOnly",
                "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/html\n\n"
                "<b>x</b>\n--b--\n",
                {},
                {{"text/html", "<b>x</b>", "", true}}},
        // A folded Content-Type and a header that names its fields in other letter cases.
        LeafRow{"FoldedAndOddlyCasedFields",
                kTop + CrLf("CONTENT-TYPE: multipart/mixed;\n\tboundary=\"f\"\n\n"
                            "--f\ncontent-type: TEXT/PLAIN\n\nx\n--f--\n"),
                {},
                {{"text/plain", "x", "", true}}},
        // A writer that left out the empty line behind a part's header: the first line that is
        // no header field starts the content.
        LeafRow{"PartHeaderWithoutItsEmptyLine",
                kTop + CrLf("Content-Type: multipart/mixed; boundary=b\n\n"
                            "--b\nContent-Type: application/zip; name=a.zip\n"
                            "Content-Transfer-Encoding: base64\nUEsDBA==\n\n--b--\n"),
                {},
                {{"application/zip", "UEsDBA==\r\n", "a.zip", true}}},
        // A multipart without a single boundary line is read as one leaf.
        LeafRow{"MultipartWithoutItsBoundaryLines",
                kTop + CrLf("Content-Type: multipart/mixed; boundary=gone\n\nonly text\n"),
                {},
                {{"multipart/mixed", "only text\r\n", "", false}}}),
    RowName{});

TEST(MimeParts, AnEmptyMailHasNoLeaves) {
  EXPECT_TRUE(ReadMimeStructure("", {}, kWestern).leaves.empty());
}

TEST(MimeParts, MessagePartsAreLeaves) {
  const std::string mail =
      kTop + CrLf(
                 "Content-Type: multipart/mixed; boundary=b\n\n"
                 "--b\nContent-Type: message/rfc822\n\n"
                 "Content-Type: multipart/mixed; boundary=c\n\n--c\n\ninner\n--c--\n"
                 "--b--\n");
  const std::vector<MimeLeaf> leaves = ReadMimeStructure(mail, {}, kWestern).leaves;
  ASSERT_EQ(leaves.size(), 1u);
  EXPECT_EQ(leaves[0].contentType, "message/rfc822");
}

TEST(MimeParts, DeepNestingStopsAndStillListsTheText) {
  std::string body;
  for (int level = 0; level < 40; ++level)
    body += "--l" + std::to_string(level) + "\nContent-Type: multipart/mixed; boundary=l" +
            std::to_string(level + 1) + "\n\n";
  body += "--l40\nContent-Type: text/plain\n\ndeep\n";
  const std::string mail = CrLf("Content-Type: multipart/mixed; boundary=l0\n\n" + body);
  const std::vector<MimeLeaf> leaves = ReadMimeStructure(mail, {}, kWestern).leaves;
  ASSERT_FALSE(leaves.empty());
  // Beyond the nesting limit the rest is one leaf that still holds the text.
  EXPECT_NE(mail.substr(leaves.back().contentBegin).find("deep"), std::string::npos);
}

struct BoundaryLineRow {
  const char* name;
  std::string text;
  std::size_t expected;
};

void PrintTo(const BoundaryLineRow& row, std::ostream* out) {
  *out << row.name;
}

class BoundaryLines : public ::testing::TestWithParam<BoundaryLineRow> {};

TEST_P(BoundaryLines, AreWholeLinesOfTheBoundary) {
  const std::vector<std::string> boundaries = {"", "xyz", "ab"};
  EXPECT_EQ(FindBoundaryLine(GetParam().text, 0, boundaries), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    MimeParts, BoundaryLines,
    ::testing::Values(BoundaryLineRow{"AtTheStart", "--ab\r\nx", 0},
                      BoundaryLineRow{"Closing", "x\r\n--ab--\r\n", 3},
                      BoundaryLineRow{"EarliestOfTwo", "x\n--xyz\n--ab\n", 2},
                      BoundaryLineRow{"NotAtALineStart", "x --ab\n", std::string::npos},
                      BoundaryLineRow{"LongerName", "--abc\n", std::string::npos},
                      BoundaryLineRow{"SecondTryAfterAFalseOne", "--abc\n--ab\n", 6},
                      BoundaryLineRow{"TrailingTab", "--ab\t\r\n", 0},
                      BoundaryLineRow{"AtTheVeryEnd", "x\n--ab", 2},
                      BoundaryLineRow{"EmptyText", "", std::string::npos}),
    RowName{});

TEST(MimeParts, ContentEndsBeforeTheLineBreakOfTheBoundaryLine) {
  EXPECT_EQ(ContentEndBefore("abc\r\n--b", 5, 0), 3u);
  EXPECT_EQ(ContentEndBefore("abc\n--b", 4, 0), 3u);
  EXPECT_EQ(ContentEndBefore("\r\n--b", 2, 1), 1u);  // never before the floor
}

}  // namespace
}  // namespace quillon
