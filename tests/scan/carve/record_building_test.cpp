// A record built from a complete header block keeps its subject as carved less the line breaks
// around it, and shows it decoded the same way trimmed; one with nothing else reads as having no
// subject. Line breaks inside the value stay.
#include "scan/carve/record_building.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

namespace quillon {
namespace {

struct SubjectRow {
  const char* name;
  std::string carved;
  std::string kept;
  std::u16string shown;
};

void PrintTo(const SubjectRow& row, std::ostream* out) {
  *out << row.name;
}

class RecordBuildingSubjectTest : public testing::TestWithParam<SubjectRow> {};

TEST_P(RecordBuildingSubjectTest, TrimsLineBreaksAroundTheSubject) {
  const SubjectRow& row = GetParam();
  PendingMail pending;
  pending.subject = row.carved;
  pending.from = "a@example.org";
  pending.to = "b@example.org";
  pending.date = "Mon, 2 Jan 2006 15:04:05 +0000";
  const MailRecordPtr record = BuildRecord(
      std::move(pending), std::make_shared<const std::string>("image"), FoundBy::Shape, 1252);
  EXPECT_EQ(record->subject.View(), row.kept);
  EXPECT_EQ(record->SubjectText(), row.shown);
  EXPECT_EQ(record->SourceName(), "image");
  EXPECT_EQ(record->foundBy, FoundBy::Shape);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RecordBuildingSubjectTest,
    testing::Values(
        SubjectRow{"Plain", "hello", "hello", u"hello"},
        SubjectRow{"TrailingLineBreak", "hello\r\n", "hello", u"hello"},
        SubjectRow{"LeadingAndTrailing", "\r\n\nhello there\n\r", "hello there", u"hello there"},
        SubjectRow{"BreaksInsideStay", "one\r\n two\r\n", "one\r\n two", u"one\r\n two"},
        SubjectRow{"OnlyLineBreaks", "\r\n\r\n", "", u"( No Subject )"},
        SubjectRow{"Empty", "", "", u"( No Subject )"},
        SubjectRow{"EncodedWordTrimmed", "=?utf-8?Q?caf=C3=A9?=\r\n",
                   "=?utf-8?Q?caf=C3=A9?=", u"caf\u00e9"},
        SubjectRow{"SpacesAreNoLineBreaks", "  hi  \r\n", "  hi  ", u"  hi  "}),
    [](const testing::TestParamInfo<SubjectRow>& row) { return std::string(row.param.name); });

// The sender and recipients show decoded; a plain value shows as itself and is not kept twice.
struct AddressRow {
  const char* name;
  std::string carved;
  std::u16string shown;
  bool widened;  // the shown text is the carved one widened
};

void PrintTo(const AddressRow& row, std::ostream* out) {
  *out << row.name;
}

class RecordBuildingAddressTest : public testing::TestWithParam<AddressRow> {};

TEST_P(RecordBuildingAddressTest, ShowsTheAddressesDecoded) {
  const AddressRow& row = GetParam();
  PendingMail pending;
  pending.subject = "hello";
  pending.from = row.carved;
  pending.to = row.carved;
  const auto name = std::make_shared<const std::string>("image");
  const MailRecordPtr record = BuildRecord(std::move(pending), name, FoundBy::Trace, 1252);
  EXPECT_EQ(record->FromText(), row.shown);
  EXPECT_EQ(record->ToText(), row.shown);
  EXPECT_EQ(record->FromTextIsWidened(), row.widened);
  EXPECT_EQ(record->SubjectText(), u"hello");
  EXPECT_EQ(record->SharedSourceName(), name);  // shared, not copied
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RecordBuildingAddressTest,
    testing::Values(
        AddressRow{"Plain", "Ann <ann@example.org>", u"Ann <ann@example.org>", true},
        AddressRow{"Empty", "", u"", true},
        AddressRow{"BlanksTrimmed", "  ann@example.org \r\n", u"ann@example.org", false},
        AddressRow{"QuotedName", "\"Smith, Ann\"  <ann@example.org>",
                   u"\"Smith, Ann\" <ann@example.org>", false},
        AddressRow{"EncodedName", "=?utf-8?Q?Ren=C3=A9?= <r@example.org>",
                   u"\"Ren\u00e9\" <r@example.org>", false},
        AddressRow{"EightBitName", "Ren\xE9 <r@example.org>", u"Ren\u00e9 <r@example.org>", true}),
    [](const testing::TestParamInfo<AddressRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
