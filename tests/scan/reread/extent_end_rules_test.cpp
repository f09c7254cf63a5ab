// Where a mail read back from its known extent ends when what follows it is old bytes: a base64
// body's last line cut short by random bytes that begin with printable ones, and a boundary a
// single part's Content-Type carries, which no line of its text closes.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "scan/mail_record.h"
#include "scan/reread/mail_extent_reader.h"
#include "source/data_source.h"
#include "source/memory_source.h"

namespace quillon::mail_reader {
namespace {

// Reads back the mail of `record` from an image in memory that holds `bytes` from `start` on.
std::string ReadBack(std::uint64_t start, const std::string& bytes, const MailRecord& record) {
  std::string image(start, '\0');
  image += bytes;
  image.resize((image.size() / 512 + 2) * 512, '\0');
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(image.begin(), image.end())),
                     "memory.img");
  std::string saved;
  ReadKnownExtent(record, source, saved, nullptr);
  return saved;
}

// Gives `record` a text that begins at `start`, the scan having ended it `textLength` bytes on
// (0: the scan did not see its end).
void EndRecordAt(MailRecord& record, std::uint64_t start, std::size_t textLength) {
  MailExtent extent;
  extent.textStartKnown = true;
  extent.textStart = start;
  record.SetExtent(extent);
  MailBody body;
  body.closed = true;
  body.textEnd = textLength > 0 ? start + textLength : 0;
  record.PublishBody(std::move(body));
}

const std::string kBinary = "\xf4\x01\x9c\x80\x02\xe1\x7f\x90";

struct Base64LastLineRow {
  const char* name;
  std::string head;    // the header block and its empty line
  std::string tail;    // the last line, no line break
  std::string behind;  // the random bytes right behind it
  std::string kept;    // what the mail keeps of the last line
};

void PrintTo(const Base64LastLineRow& row, std::ostream* out) {
  *out << row.name;
}

class Base64LastLineTest : public testing::TestWithParam<Base64LastLineRow> {};

TEST_P(Base64LastLineTest, KeepsTheLastLineUpToItsLastQuantum) {
  const Base64LastLineRow& row = GetParam();
  // Lines of one length, as an encoder writes them, in the middle of a cluster.
  const std::string line = "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlqa2xtbm9wcXJzdHV2d3h5";
  const std::string text = row.head + line + "\r\n" + line + "\r\n";
  constexpr std::uint64_t kStart = 4096 + 512;
  MailRecord record;
  EndRecordAt(record, kStart, text.size());
  EXPECT_EQ(ReadBack(kStart, text + row.tail + row.behind, record), text + row.kept);
}

const std::string kBase64Head = "From: a@x\r\nContent-Transfer-Encoding: base64\r\n\r\n";
const std::string kShortTail = "MTQyMzk1ODM5OS54bWxQSwUGAAAAAAEAAQBcAAAAlwIAAAAA";

INSTANTIATE_TEST_SUITE_P(
    Rules, Base64LastLineTest,
    testing::Values(
        Base64LastLineRow{"BinaryRightBehind", kBase64Head, kShortTail, kBinary, kShortTail},
        // Random bytes begin with a printable byte about every third time: one that is no
        // base64 character, one that is, or a few.
        Base64LastLineRow{"APunctuationMarkBehind", kBase64Head, kShortTail, "{" + kBinary,
                          kShortTail},
        Base64LastLineRow{"ALetterBehind", kBase64Head, kShortTail, "g" + kBinary, kShortTail},
        Base64LastLineRow{"AFewPrintableBytesBehind", kBase64Head, kShortTail, "a?f" + kBinary,
                          kShortTail},
        // The padding is the data's own.
        Base64LastLineRow{"PaddedTail", kBase64Head, "SGVsbG8gd29ybGQ=", "-" + kBinary,
                          "SGVsbG8gd29ybGQ="},
        // More printable characters than random bytes begin with: a line of text behind lines
        // that only look like data, kept up to the binary bytes.
        Base64LastLineRow{"AProseLineKeepsItsCharacters", "From: a@x\r\n\r\n",
                          "Thanks for the report, see you", "g" + kBinary,
                          "Thanks for the report, see youg"}),
    [](const testing::TestParamInfo<Base64LastLineRow>& row) { return row.param.name; });

// A mail whose Content-Type carries a boundary though it names a single part: its base64 text
// is followed by the closing line of a multipart that wrapped it (a list's), the list's footer,
// and old bytes up to where the scan stopped. No line closes the stray boundary: the mail ends
// as one whose own multipart header was lost, behind that closing line and its footer.
struct StrayBoundaryRow {
  const char* name;
  std::string contentType;  // as the scan keeps it, its boundary parameter taken out
};

void PrintTo(const StrayBoundaryRow& row, std::ostream* out) {
  *out << row.name;
}

class StrayBoundaryTest : public testing::TestWithParam<StrayBoundaryRow> {};

TEST_P(StrayBoundaryTest, EndsTheTextWhereItsOwnLinesEnd) {
  const StrayBoundaryRow& row = GetParam();
  const std::string data =
      "PGh0bWw+DQo8aGVhZD4NCjxtZXRhIGh0dHAtZXF1aXY9ImNvbnRlbnQtdHlwZSIgY29udGVu";
  const std::string mail = "From: a@x\r\nContent-Type: " + row.contentType +
                           "\r\n\tboundary=\"_NextPart_123\"\r\nContent-Transfer-Encoding: base64"
                           "\r\n\r\n" +
                           data + "\r\n" + data + "\r\n" + data +
                           "\r\nPC9ib2R5Pg0KPC9odG1sPg0K\r\n--ListPartsEnd--\r\n\r\n\r\n"
                           "_______________\r\nThe list's footer\r\n\r\n\r\n";
  const std::string old =
      "ellow council to narrow.</em>\r\n<strong class=\"evening\">To after such.</strong>\r\n"
      "<p class=\"engine\">Village morning quarter first for time budget.</p>\r\n";
  constexpr std::uint64_t kStart = 512;
  MailRecord record;
  EndRecordAt(record, kStart, 0);
  record.boundary = "_NextPart_123";
  record.contentType = row.contentType;
  EXPECT_EQ(ReadBack(kStart, mail + old + kBinary, record), mail);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StrayBoundaryTest,
    testing::Values(StrayBoundaryRow{"HtmlText", "text/html;"},
                    StrayBoundaryRow{"PlainTextInCapitals", "TEXT/PLAIN; charset=utf-8;"}),
    [](const testing::TestParamInfo<StrayBoundaryRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::mail_reader
