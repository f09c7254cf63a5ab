#include "app/cli/record_output.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/test_helpers.h"

namespace quillon {
namespace {

const RenderOptions kWestern{1252};

MailRecord& Sample(MailRecord& record, bool damaged) {
  record.startSector = 7;
  record.sectorOffset = 12;
  record.SetFromText(u"Alice");
  record.SetToText(u"Bob");
  record.SetSubjectText(u"Hello");
  record.date = "2009-03-09 10:11:12";
  record.damaged = damaged;
  return record;
}

// The damaged key is the last one, and every other key keeps its place.
TEST(RecordJsonTest, EndsWithTheDamagedKey) {
  MailRecord damaged;
  MailRecord whole;
  const std::string fixed =
      "{\"index\": 3, \"sector\": 7, \"offset\": 12, \"from\": \"Alice\", \"to\": \"Bob\", "
      "\"subject\": \"Hello\", \"date\": \"2009-03-09 10:11:12\", \"priority\": 0, "
      "\"attachments\": [], \"duplicate_of\": null, \"part_of\": null, \"found_by\": \"trace\"";
  EXPECT_EQ(RecordJson(Sample(damaged, true), 3, kWestern), fixed + ", \"damaged\": true}");
  EXPECT_EQ(RecordJson(Sample(whole, false), 3, kWestern), fixed + ", \"damaged\": false}");
}

TEST(TableRowTest, MarksADamagedMailInTheMarksColumn) {
  MailRecord damaged;
  MailRecord whole;
  const std::string heading = TableHeading();
  const std::size_t column = heading.find("!&D");
  ASSERT_NE(column, std::string::npos);
  EXPECT_EQ(TableRow(Sample(damaged, true), 1, kWestern).substr(column, 4), "  D ");
  EXPECT_EQ(TableRow(Sample(whole, false), 1, kWestern).substr(column, 4), "    ");
}

struct MarkRow {
  const char* name;
  std::int64_t duplicateOf;
  std::int64_t partOf;
  std::string ending;  // what the row ends with behind the subject
};

class TableMarkTest : public testing::TestWithParam<MarkRow> {};

// Copies and mails inside others are marked behind the subject with the other mail's number.
TEST_P(TableMarkTest, NamesTheOtherMail) {
  MailRecord record;
  Sample(record, false);
  record.duplicateOf = GetParam().duplicateOf;
  record.partOf = GetParam().partOf;
  const std::string row = TableRow(record, 9, kWestern);
  const std::string expected = "Hello" + GetParam().ending + "\n";
  ASSERT_GE(row.size(), expected.size());
  EXPECT_EQ(row.substr(row.size() - expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(Marks, TableMarkTest,
                         testing::Values(MarkRow{"Neither", -1, -1, ""},
                                         MarkRow{"ACopy", 2, -1, "  = a copy of mail 3"},
                                         MarkRow{"InsideAnother", -1, 0, "  ^ found inside mail 1"},
                                         MarkRow{"ACopyInsideAnother", 4, 3,
                                                 "  = a copy of mail 5  ^ found inside mail 4"}),
                         [](const testing::TestParamInfo<MarkRow>& row) { return row.param.name; });

struct SenderRow {
  const char* name;
  std::u16string sender;
  std::string column;  // the sender's 30 cells in UTF-8
};

class TableSenderTest : public testing::TestWithParam<SenderRow> {};

// The sender fills 30 terminal cells: wide characters take two, a text too long is cut short
// with an ellipsis in the last cell, and the subject follows one space behind.
TEST_P(TableSenderTest, FillsItsColumnExactly) {
  MailRecord record;
  Sample(record, false);
  record.SetFromText(GetParam().sender);
  const std::size_t column = TableHeading().find("!&D") + 4;
  const std::string row = TableRow(record, 1, kWestern);
  ASSERT_GT(row.size(), column);
  EXPECT_EQ(row.substr(column), GetParam().column + " Hello\n");
}

const std::string kEllipsis = "\xE2\x80\xA6";
const std::string kWide = "\xE6\xBC\xA2";  // U+6F22, two cells

std::string Times(std::size_t count, const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += text;
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Senders, TableSenderTest,
    testing::Values(
        SenderRow{"Short", u"Alice", "Alice" + std::string(25, ' ')},
        SenderRow{"Empty", u"", std::string(30, ' ')},
        SenderRow{"ExactlyFull", std::u16string(30, u'a'), std::string(30, 'a')},
        SenderRow{"OneTooLong", std::u16string(31, u'a'), std::string(29, 'a') + kEllipsis},
        SenderRow{"WideFull", std::u16string(15, u'\x6F22'), Times(15, kWide)},
        SenderRow{"WideTooLong", std::u16string(16, u'\x6F22'), Times(14, kWide) + kEllipsis + " "},
        SenderRow{"WideAtTheEdge", std::u16string(29, u'a') + u"\x6F22",
                  std::string(29, 'a') + kEllipsis},
        SenderRow{"SurrogatePair", u"\xD840\xDC00x", "\xF0\xA0\x80\x80x" + std::string(27, ' ')},
        SenderRow{"LoneSurrogate",
                  u"\xD800"
                  u"b",
                  "\xEF\xBF\xBD"
                  "b" +
                      std::string(28, ' ')},
        SenderRow{"ControlCharacters", u"a\tb\x7F", "a b " + std::string(26, ' ')},
        SenderRow{"HalfWideLong", std::u16string(20, u'\x6F22'),
                  Times(14, kWide) + kEllipsis + " "}),
    [](const testing::TestParamInfo<SenderRow>& row) { return row.param.name; });

struct DateRow {
  const char* name;
  std::string date;  // as the record keeps it
  int codePage;
  std::string column;  // the date's 20 cells in UTF-8
};

class TableDateTest : public testing::TestWithParam<DateRow> {};

// The date fills 20 cells whether it was normalised (digits and separators, shown as they are)
// or kept as the mail wrote it (read in the chosen code page), and is cut short alike.
TEST_P(TableDateTest, FillsItsColumnExactly) {
  MailRecord record;
  Sample(record, false);
  record.date = GetParam().date;
  const std::size_t column = TableHeading().find("Date");
  const std::string row = TableRow(record, 1, RenderOptions{GetParam().codePage});
  ASSERT_GT(row.size(), column + GetParam().column.size());
  EXPECT_EQ(row.substr(column, GetParam().column.size() + 1), GetParam().column + " ");
}

INSTANTIATE_TEST_SUITE_P(
    Dates, TableDateTest,
    testing::Values(DateRow{"Normalised", "2009-03-09 10:11:12", 1252, "2009-03-09 10:11:12 "},
                    DateRow{"NormalisedInACyrillicPage", "2009-03-09 10:11:12", 1251,
                            "2009-03-09 10:11:12 "},
                    DateRow{"Empty", "", 1252, std::string(20, ' ')},
                    DateRow{"DigitsTooLong", "2009-03-09 10:11:12 0000", 1252,
                            "2009-03-09 10:11:12" + kEllipsis},
                    DateRow{"LettersTooLong", "Mon, 9 Mar 2009 10:11:12 +0000", 1252,
                            "Mon, 9 Mar 2009 10:" + kEllipsis},
                    DateRow{"ExactlyFull", std::string(20, '1'), 1252, std::string(20, '1')},
                    DateRow{"EightBitInItsPage", "1 \xCF\xF0\xE8", 1251,
                            "1 \xD0\x9F\xD1\x80\xD0\xB8" + std::string(15, ' ')},
                    DateRow{"EightBitInAnotherPage", "1 \xCF\xF0\xE8", 1252,
                            "1 \xC3\x8F\xC3\xB0\xC3\xA8" + std::string(15, ' ')},
                    DateRow{"ControlCharacter", "1\t2", 1252, "1 2" + std::string(17, ' ')}),
    [](const testing::TestParamInfo<DateRow>& row) { return row.param.name; });

struct SubjectRow {
  const char* name;
  std::u16string subject;
  std::string shown;
};

class TableSubjectTest : public testing::TestWithParam<SubjectRow> {};

// The subject ends the row whole, in UTF-8, with a space for each control character.
TEST_P(TableSubjectTest, EndsTheRow) {
  MailRecord record;
  Sample(record, false);
  record.SetSubjectText(GetParam().subject);
  const std::string row = TableRow(record, 1, kWestern);
  const std::size_t column = TableHeading().find("Subject");
  ASSERT_GT(row.size(), column);
  EXPECT_EQ(row.substr(column), GetParam().shown + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Subjects, TableSubjectTest,
    testing::Values(SubjectRow{"Ascii", u"Hello there", "Hello there"},
                    SubjectRow{"ControlCharacters", u"a\tb\rc", "a b c"},
                    SubjectRow{"AsciiAroundWide", u"ab\u6F22cd\u00E9", "ab" + kWide + "cd\xC3\xA9"},
                    SubjectRow{"LongerThanAnyColumn", std::u16string(300, u'x'),
                               std::string(300, 'x')}),
    [](const testing::TestParamInfo<SubjectRow>& row) { return row.param.name; });

struct RawHeaderRow {
  const char* name;
  std::string raw;  // the sender and the subject as carved, each byte one character
};

class TableRawHeaderTest : public testing::TestWithParam<RawHeaderRow> {};

std::u16string Widen(std::string_view raw) {
  std::u16string text;
  for (const char c : raw) text += static_cast<char16_t>(static_cast<unsigned char>(c));
  return text;
}

// A sender and a subject whose decoded text is their raw bytes widened are written from the
// bytes: the row must read exactly as the one written from the same text kept decoded.
TEST_P(TableRawHeaderTest, ReadsAsTheDecodedText) {
  MailRecord fromBytes;
  Sample(fromBytes, false);
  fromBytes.from = GetParam().raw;
  fromBytes.subject = GetParam().raw;
  fromBytes.SetFromText(Widen(GetParam().raw));
  fromBytes.SetSubjectText(Widen(GetParam().raw));
  ASSERT_TRUE(fromBytes.FromTextIsWidened());
  ASSERT_TRUE(fromBytes.SubjectTextIsWidened());

  MailRecord decoded;
  Sample(decoded, false);
  decoded.from = "raw sender";
  decoded.subject = "raw subject";
  decoded.SetFromText(Widen(GetParam().raw));
  decoded.SetSubjectText(Widen(GetParam().raw));
  ASSERT_FALSE(decoded.FromTextIsWidened());
  ASSERT_FALSE(decoded.SubjectTextIsWidened());

  EXPECT_EQ(TableRow(fromBytes, 4, kWestern), TableRow(decoded, 4, kWestern));
  std::string appended = "before";
  AppendTableRow(appended, fromBytes, 4, kWestern);
  EXPECT_EQ(appended, "before" + TableRow(decoded, 4, kWestern));
}

INSTANTIATE_TEST_SUITE_P(
    RawHeaders, TableRawHeaderTest,
    testing::Values(RawHeaderRow{"Ascii", "Alice <alice@example.org>"},
                    RawHeaderRow{"ExactlyFull", std::string(30, 'a')},
                    RawHeaderRow{"OneTooLong", std::string(31, 'a')},
                    RawHeaderRow{"ControlCharacters", "a\tb\x7F\rc\x01"},
                    RawHeaderRow{"EightBit",
                                 "Ren\xE9"
                                 "e M\xFC"
                                 "ller \x85\xA0\xFF"},
                    RawHeaderRow{"EightBitAtTheEdge", std::string(29, 'a') + "\xE9\xE9"},
                    RawHeaderRow{"EightBitFull", std::string(30, '\xC4')},
                    RawHeaderRow{"ControlsAmongWords", std::string(13, 'a') + "\x7F" +
                                                           std::string(9, ' ') + "\t!~ \x1F" +
                                                           std::string(8, '\x7F') + "\x1F"},
                    RawHeaderRow{"Long", std::string(200, 'x') + "\xE9" + std::string(50, 'y')}),
    [](const testing::TestParamInfo<RawHeaderRow>& row) { return row.param.name; });

struct SummaryRow {
  std::string name;
  std::vector<SectorRange> unreadable;
  std::size_t damaged;
  std::string expected;
};

class UnreadableSummaryTest : public testing::TestWithParam<SummaryRow> {};

TEST_P(UnreadableSummaryTest, NamesTheCountTheRangesAndTheDamagedMails) {
  EXPECT_EQ(UnreadableSummary(GetParam().unreadable, GetParam().damaged), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnreadableSummaryTest,
    testing::Values(
        SummaryRow{"Nothing", {}, 0, ""},
        SummaryRow{"OneSector",
                   {{5000, 1}},
                   1,
                   "quillon: 1 sector could not be read and counts as zeros: 5000\n"
                   "quillon: 1 mail holds unreadable sectors and is marked damaged\n"},
        SummaryRow{"Ranges",
                   {{1000, 128}, {5000, 1}},
                   0,
                   "quillon: 129 sectors could not be read and count as zeros: 1000-1127, 5000\n"
                   "quillon: 0 mails hold unreadable sectors and are marked damaged\n"}),
    test::RowName());

// A date the mail wrote in 8-bit text is shown in the code page the options carry (--codepage).
TEST(RecordOutputTest, DatesReadInTheChosenCodePage) {
  MailRecord record;
  record.date = "\xCF\xF0\xE8";
  const RenderOptions russian{1251};
  EXPECT_NE(RecordJson(record, 1, russian).find("\"date\": \"\xD0\x9F\xD1\x80\xD0\xB8\""),
            std::string::npos)
      << RecordJson(record, 1, russian);
  EXPECT_NE(RecordJson(record, 1, kWestern).find("\"date\": \"\xC3\x8F\xC3\xB0\xC3\xA8\""),
            std::string::npos)
      << RecordJson(record, 1, kWestern);
  EXPECT_NE(TableRow(record, 1, russian).find("\xD0\x9F\xD1\x80\xD0\xB8"), std::string::npos);
  EXPECT_EQ(TableRow(record, 1, russian).find("\xC3\x8F"), std::string::npos);
}

}  // namespace
}  // namespace quillon
