// A mail glued into the string value of a data file's line ("note": "... paper " + "From: ..."),
// with more such lines above it: the keys in quote marks name no fields, so the mail begins at
// its glued name, as behind any other line of text; behind a field line's value it does not.
#include <gtest/gtest.h>

#include <string>

#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

const std::string kMail = CrLf(
    "From: Ann <ann@a.example>\n"
    "To: bob@b.example\n"
    "Subject: Behind data\n"
    "Date: Fri, 13 Jul 2012 10:06:49 -0200\n"
    "MIME-Version: 1.0\n"
    "Content-Type: text/plain\n"
    "\n"
    "Hello.\n");

const std::string kRecords = CrLf(
    "  {\n"
    "    \"id\": 4544,\n"
    "    \"name\": \"it\",\n"
    "    \"tags\": [\"library\", \"west\"]\n"
    "  },\n"
    "  {\n"
    "    \"id\": 6449,\n");

struct DataRow {
  const char* name;
  std::string before;  // old bytes right in front of the mail's first line
  std::uint64_t at;    // where the mail's first line begins
  bool found;          // whether a mail that begins at `at` is found (else none at all)
};

void PrintTo(const DataRow& row, std::ostream* out) {
  *out << row.name;
}

class GluedBehindDataTest : public testing::TestWithParam<DataRow> {};

TEST_P(GluedBehindDataTest, MailBeginsAtTheGluedName) {
  const DataRow& row = GetParam();
  ImageBuilder image;
  image.Put(row.at - row.before.size(), row.before + kMail).Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  if (!row.found) {
    EXPECT_TRUE(records.empty());
    return;
  }
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->Extent().TextStartOr(UINT64_MAX), row.at);
  EXPECT_EQ(records[0]->SubjectText(), u"Behind data");
}

const std::string kNote = "    \"note\": \"signal paper ";
// Binary bytes right in front of a sector start, the last a NUL or a stray one.
const std::string kBinary("\x9c\xe1\x01\xfe\x03\x00", 6);
const std::string kStray("\x9c\xe1\x01\xfe\x03\x91", 6);
// The first key cut by them ("d": 4422,), which reads as a field's name.
const std::string kCutKey = "d\": 4422,\r\n";

INSTANTIATE_TEST_SUITE_P(
    Leads, GluedBehindDataTest,
    testing::Values(
        // The cut key opens the sector: with the binary bytes in front at 4090.
        DataRow{"CutKeyBehindANulAtASector", kBinary + kCutKey + kRecords + kNote, 4235, true},
        DataRow{"CutKeyBehindAStrayByteAtASector", kStray + kCutKey + kRecords + kNote, 4235, true},
        DataRow{"CutKeyBehindANulInsideASector", kBinary + kCutKey + kRecords + kNote, 4238, true},
        DataRow{"RecordsBehindZeros", kRecords + kNote, 7001, true},
        // A field line's value quotes a name behind a blank: no mail begins there.
        DataRow{"HeaderValueAbove", "Subject: old\r\nX-Note: signal paper ", 9001, false}),
    [](const testing::TestParamInfo<DataRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
