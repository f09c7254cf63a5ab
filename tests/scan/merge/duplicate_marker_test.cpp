// Copies of one message are known by their Message-ID, or else by their header values; a copy
// read without its Message-ID still matches one read with it, two different IDs never match.
// Where the mails' bytes are in hand they must agree too: the same header block, and a body that
// is the same as far as both copies reach.
#include "scan/merge/duplicate_marker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "scan/source_position.h"

namespace quillon {
namespace {

struct Copy {
  std::string messageId;
  std::string subject;
  bool part = false;  // found inside another mail
};

struct DuplicateRow {
  const char* name;
  std::vector<Copy> copies;               // published in this order
  std::vector<std::int64_t> duplicateOf;  // expected, per copy
};

// Names the row in failure messages and test lists.
void PrintTo(const DuplicateRow& row, std::ostream* out) {
  *out << row.name;
}

class DuplicateMarkerTest : public testing::TestWithParam<DuplicateRow> {};

TEST_P(DuplicateMarkerTest, MarksLaterCopies) {
  const DuplicateRow& row = GetParam();
  DuplicateMarker marker;
  std::vector<MailRecordPtr> found;
  for (std::size_t index = 0; index < row.copies.size(); ++index) {
    MailRecordPtr published = std::make_shared<MailRecord>();
    MailRecord& record = *published;
    record.from = "a@x";
    record.to = "b@y";
    record.date = "2020-01-02 03:04:05";
    record.subject = row.copies[index].subject;
    record.messageId = row.copies[index].messageId;
    record.partOf = row.copies[index].part ? 0 : -1;
    marker.Mark(record, index, {}, found);
    EXPECT_EQ(record.duplicateOf, row.duplicateOf[index]) << "copy " << index;
    found.push_back(std::move(published));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DuplicateMarkerTest,
    testing::Values(
        DuplicateRow{"SameIdDifferentValues", {{"<1@x>", "one"}, {"<1@x>", "two"}}, {-1, 0}},
        DuplicateRow{"SameValuesNoIds", {{"", "one"}, {"", "one"}, {"", "one"}}, {-1, 0, 0}},
        DuplicateRow{"DifferentValuesNoIds", {{"", "one"}, {"", "two"}}, {-1, -1}},
        DuplicateRow{"SameValuesDifferentIds", {{"<1@x>", "one"}, {"<2@x>", "one"}}, {-1, -1}},
        DuplicateRow{"IdlessCopyOfOneWithId", {{"<1@x>", "one"}, {"", "one"}}, {-1, 0}},
        DuplicateRow{"CopyWithIdOfIdlessOne", {{"", "one"}, {"<1@x>", "one"}}, {-1, 0}},
        // A message inside another mail goes with that mail: neither a copy nor a first copy.
        DuplicateRow{"PartIsNoCopy", {{"<1@x>", "one"}, {"<1@x>", "one", true}}, {-1, -1}},
        DuplicateRow{"PartIsNoFirstCopy",
                     {{"<1@x>", "one", true}, {"<1@x>", "one"}, {"<1@x>", "one"}},
                     {-1, -1, 1}},
        DuplicateRow{
            "IdMatchBeatsValues", {{"", "one"}, {"<1@x>", "two"}, {"<1@x>", "one"}}, {-1, -1, 1}}),
    [](const testing::TestParamInfo<DuplicateRow>& row) { return std::string(row.param.name); });

std::string Mail(const std::string& subject, const std::string& body) {
  return "Return-Path: <a@x>\r\nFrom: a@x\r\nTo: b@y\r\nSubject: " + subject +
         "\r\nDate: Thu, 2 Jan 2020 03:04:05 +0000\r\nMessage-ID: <1@x>\r\n\r\n" + body;
}

const std::string kLongBody = std::string(300, 'a') + "\r\n" + std::string(900, 'b') + "\r\n";
// A body longer than the step texts are read on by beyond the shorter one's print.
const std::string kHugeBody = [] {
  std::string body;
  for (int line = 0; line < 400; ++line)
    body += std::string(70, static_cast<char>('c' + line % 20)) + "\r\n";
  return body;
}();
constexpr std::size_t kBigCluster = 64 * 1024;

struct BytesRow {
  const char* name;
  std::vector<std::string> mails;         // each at its own 4 KiB cluster, zeros behind it
  std::vector<std::int64_t> duplicateOf;  // expected, per mail
  // The Message-ID each mail was read with ("" for none); all "<1@x>" when empty.
  std::vector<std::string> ids = {};
  // Where in its cluster each mail was found (0 for all when empty): a later line of its header.
  std::vector<std::size_t> foundAt = {};
  std::size_t cluster = 4096;
};

void PrintTo(const BytesRow& row, std::ostream* out) {
  *out << row.name;
}

class DuplicateBytesTest : public testing::TestWithParam<BytesRow> {};

// Marks the row's mails in turn. `inHand`: the buffer holds every mail's bytes, with the room
// a scan's buffer keeps behind them, and the source cannot be read: the texts compared must come
// from the buffer. Else the buffer is too short to be taken and every text is read again.
void MarkRow(const BytesRow& row, bool inHand) {
  const std::size_t kCluster = row.cluster;
  constexpr std::uint64_t kBase = 1024 * 1024;
  const std::size_t sourceSize = kCluster * (row.mails.size() + 1);
  std::string bytes(sourceSize + (inHand ? kCarveLookAhead : 0), '\0');
  for (std::size_t i = 0; i < row.mails.size(); ++i) {
    ASSERT_LE(row.mails[i].size(), kCluster);
    bytes.replace(i * kCluster, row.mails[i].size(), row.mails[i]);
  }
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                           kBase};
  DuplicateMarker marker;
  // A first copy longer than a later one is read again from the source.
  marker.SetSourceReader([&](std::uint64_t offset, std::size_t count, std::uint8_t* out) {
    if (inHand || offset < kBase || offset - kBase + count > sourceSize) return false;
    std::copy_n(bytes.data() + (offset - kBase), count, out);
    return true;
  });
  std::vector<MailRecordPtr> found;
  for (std::size_t index = 0; index < row.mails.size(); ++index) {
    MailRecordPtr published = std::make_shared<MailRecord>();
    MailRecord& record = *published;
    record.from = "a@x";
    record.to = "b@y";
    record.date = "2020-01-02 03:04:05";
    record.subject = "same";
    record.messageId = row.ids.empty() ? "<1@x>" : row.ids[index];
    const SectorPosition at =
        SectorPositionOf(kBase + index * kCluster + (row.foundAt.empty() ? 0 : row.foundAt[index]));
    record.startSector = at.sector;
    record.sectorOffset = at.offset;
    marker.Mark(record, index, buffer, found);
    EXPECT_EQ(record.duplicateOf, row.duplicateOf[index]) << "mail " << index;
    found.push_back(std::move(published));
  }
}

TEST_P(DuplicateBytesTest, MarksOnlyCopiesOfTheSameBytes) {
  MarkRow(GetParam(), false);
}

TEST_P(DuplicateBytesTest, TakesTheTextsFromTheBytesInHand) {
  MarkRow(GetParam(), true);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DuplicateBytesTest,
    testing::Values(
        BytesRow{"ExactCopies", {Mail("s", kLongBody), Mail("s", kLongBody)}, {-1, 0}},
        BytesRow{"CopyCutInItsBody",
                 {Mail("s", kLongBody), Mail("s", kLongBody.substr(0, 700))},
                 {-1, 0}},
        BytesRow{"WholeCopyBehindACutOne",
                 {Mail("s", kLongBody.substr(0, 500)), Mail("s", kLongBody)},
                 {-1, 0}},
        BytesRow{"CopyWithBinaryBehindIt",
                 {Mail("s", "short\r\n"), Mail("s", "short\r\n\x01\x9f\x02binary")},
                 {-1, 0}},
        BytesRow{"SameHeaderOtherBody", {Mail("s", kLongBody), Mail("s", "other\r\n")}, {-1, -1}},
        BytesRow{"SameIdOtherHeader", {Mail("one", "text\r\n"), Mail("two", "text\r\n")}, {-1, -1}},
        BytesRow{"BodiesApartBehindTheFirstStep",
                 {Mail("s", kLongBody),
                  Mail("s", kLongBody.substr(0, 200) + "c" + kLongBody.substr(201, 800))},
                 {-1, -1}},
        // Old data written behind each copy, whose lines end otherwise than the mail's: the
        // copies end where it begins. Lines that end as the mail's are the text's own.
        BytesRow{"CopiesWithOtherOldLinesBehind",
                 {Mail("s", kLongBody) + "old words\nmore old words\n",
                  Mail("s", kLongBody) + "ple other old\n"},
                 {-1, 0}},
        BytesRow{"LookalikesPartAtALineOfTheirOwn",
                 {Mail("s", kLongBody) + "one more line\r\n", Mail("s", kLongBody) + "another\r\n"},
                 {-1, -1}},
        // 7-bit Japanese text switches its character set by escapes: the texts are compared
        // past them.
        BytesRow{"LookalikesPartBehindAnEscape",
                 {Mail("s", "\x1b$B$3\x1b(B\r\n" + kLongBody),
                  Mail("s", "\x1b$B$3\x1b(B\r\nan added line\r\n" + kLongBody)},
                 {-1, -1}},
        BytesRow{"CopiesWithEscapes",
                 {Mail("s", "\x1b$B$3\x1b(B\r\n" + kLongBody),
                  Mail("s", "\x1b$B$3\x1b(B\r\n" + kLongBody)},
                 {-1, 0}},
        BytesRow{"CopyOfTheSecondOfTwoLookalikes",
                 {Mail("s", kLongBody), Mail("s", "other\r\n"), Mail("s", "other\r\n")},
                 {-1, -1, 1}},
        // A mail read with a Message-ID is kept under it and under its values with one print:
        // a copy read without it is told by the bytes of the right one.
        BytesRow{"IdlessCopyOfOneWithId",
                 {Mail("s", kLongBody), Mail("s", kLongBody)},
                 {-1, 0},
                 {"<1@x>", ""}},
        BytesRow{"IdlessLookalikeOfOneWithId",
                 {Mail("s", kLongBody), Mail("s", "other\r\n")},
                 {-1, -1},
                 {"<1@x>", ""}},
        BytesRow{"IdlessCopyOfTheSecondOfTwoWithIds",
                 {Mail("s", kLongBody), Mail("s", kLongBody), Mail("s", "other\r\n"),
                  Mail("s", "other\r\n")},
                 {-1, 0, -1, 2},
                 {"<1@x>", "<1@x>", "<2@x>", ""}},
        // Found at their From lines, behind lines that differ: no copies, whether the lines in
        // front are read again or taken from the bytes in hand (where the source cannot be read).
        BytesRow{"OtherLinesAboveWhereFound",
                 {Mail("zero", "x\r\n"), Mail("one", "y\r\n"), Mail("s", kLongBody),
                  "Return-Path: <c@z>" + Mail("s", kLongBody).substr(18)},
                 {-1, -1, -1, -1},
                 {"<a@x>", "<b@x>", "<1@x>", "<1@x>"},
                 {0, 0, 20, 20}},
        BytesRow{"SameLinesAboveWhereFound",
                 {Mail("zero", "x\r\n"), Mail("one", "y\r\n"), Mail("s", kLongBody),
                  Mail("s", kLongBody)},
                 {-1, -1, -1, 2},
                 {"<a@x>", "<b@x>", "<1@x>", "<1@x>"},
                 {0, 0, 20, 20}},
        BytesRow{"CopyWithIdBehindAnIdlessLookalike",
                 {Mail("s", kLongBody), Mail("s", "other\r\n"), Mail("s", "other\r\n")},
                 {-1, -1, 1},
                 {"", "<1@x>", ""}},
        // Texts far apart in length, the longer one not looked through as far as it goes where
        // they part early: told alike whichever comes first.
        BytesRow{"ShortCopyOfALongMail",
                 {Mail("s", kLongBody + kHugeBody), Mail("s", kLongBody.substr(0, 700))},
                 {-1, 0},
                 {},
                 {},
                 kBigCluster},
        BytesRow{"LongMailBehindItsShortCopy",
                 {Mail("s", kLongBody.substr(0, 700)), Mail("s", kLongBody + kHugeBody)},
                 {-1, 0},
                 {},
                 {},
                 kBigCluster},
        BytesRow{"ShortLookalikeOfALongMail",
                 {Mail("s", kLongBody + kHugeBody), Mail("s", "other\r\n")},
                 {-1, -1},
                 {},
                 {},
                 kBigCluster},
        BytesRow{"LongLookalikesPartingFarIn",
                 {Mail("s", kLongBody + kHugeBody),
                  Mail("s", kLongBody + kHugeBody.substr(0, 9000) + "d\r\n")},
                 {-1, -1},
                 {},
                 {},
                 kBigCluster}),
    [](const testing::TestParamInfo<BytesRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
