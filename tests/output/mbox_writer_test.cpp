#include "output/mbox_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "source/source_test_files.h"

namespace quillon {
namespace {

struct SenderRow {
  std::string label;
  std::string value;
  std::string expected;
};

class EnvelopeSenderTest : public testing::TestWithParam<SenderRow> {};

TEST_P(EnvelopeSenderTest, TakesTheAddress) {
  EXPECT_EQ(EnvelopeSender(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Senders, EnvelopeSenderTest,
    testing::Values(SenderRow{"Angle", "Ann Smith <ann@example.com>", "ann@example.com"},
                    SenderRow{"Bare", "ann@example.com", "ann@example.com"},
                    SenderRow{"BareWithComment", "ann@example.com (Ann)", "ann@example.com"},
                    SenderRow{"QuotedNameWithAt", "\"a@b\" <ann@example.com>", "ann@example.com"},
                    SenderRow{"ReturnPath", "<bounce+x=y@lists.example.org>",
                              "bounce+x=y@lists.example.org"},
                    SenderRow{"NoAddress", "Ann Smith", "MAILER-DAEMON"},
                    SenderRow{"EmptyAngle", "<>", "MAILER-DAEMON"},
                    SenderRow{"Empty", "", "MAILER-DAEMON"},
                    SenderRow{"BlankInAddress", "<ann smith@example.com>", "MAILER-DAEMON"},
                    SenderRow{"EightBit", "<j\xC3\xB6rg@example.com>", "MAILER-DAEMON"},
                    SenderRow{"Unclosed", "Ann <ann@example.com", "ann@example.com"}),
    test::RowLabel());

struct DateRow {
  std::string label;
  std::string date;
  std::string expected;  // empty: no date
};

class EnvelopeDateTest : public testing::TestWithParam<DateRow> {};

TEST_P(EnvelopeDateTest, WritesTheDateAsAsctimeDoes) {
  EXPECT_EQ(EnvelopeDate(GetParam().date).value_or(""), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, EnvelopeDateTest,
    testing::Values(DateRow{"Monday", "2009-03-09 10:11:12", "Mon Mar  9 10:11:12 2009"},
                    DateRow{"Saturday", "2000-01-01 00:00:00", "Sat Jan  1 00:00:00 2000"},
                    DateRow{"Epoch", "1970-01-01 00:00:00", "Thu Jan  1 00:00:00 1970"},
                    DateRow{"LeapDay", "2024-02-29 23:59:59", "Thu Feb 29 23:59:59 2024"},
                    DateRow{"CenturyLeapDay", "2000-02-29 12:00:00", "Tue Feb 29 12:00:00 2000"},
                    DateRow{"NoLeapDay", "2023-02-29 12:00:00", ""},
                    DateRow{"NoLeapCentury", "1900-02-29 12:00:00", ""},
                    DateRow{"Month13", "2009-13-01 00:00:00", ""},
                    DateRow{"Hour24", "2009-03-09 24:00:00", ""},
                    DateRow{"RawHeaderText", "Mon, 9 Mar 2009 10:11:12 +0800", ""},
                    DateRow{"Empty", "", ""}),
    test::RowLabel());

TEST(EnvelopeDateTest, ScanTimeIsWrittenInUtc) {
  EXPECT_EQ(EnvelopeDate(std::time_t{1236593472}), "Mon Mar  9 10:11:12 2009");
}

struct QuoteRow {
  std::string label;
  std::string bytes;
  std::string expected;
};

class QuoteFromLinesTest : public testing::TestWithParam<QuoteRow> {};

TEST_P(QuoteFromLinesTest, QuotesAsMboxrdDoes) {
  EXPECT_EQ(QuoteFromLines(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, QuoteFromLinesTest,
    testing::Values(QuoteRow{"BodyLine", "a\r\nFrom here\r\nb\r\n", "a\r\n>From here\r\nb\r\n"},
                    QuoteRow{"QuotedLineGetsOneMore", "a\n>From x\n>>From y\n",
                             "a\n>>From x\n>>>From y\n"},
                    QuoteRow{"FirstLine", "From x\n", ">From x\n"},
                    QuoteRow{"LastLineWithoutBreak", "a\nFrom x", "a\n>From x"},
                    QuoteRow{"NotAtLineStart", "a From x\n", "a From x\n"},
                    QuoteRow{"NoBlankAfterFrom", "From:\nFromage\n", "From:\nFromage\n"},
                    QuoteRow{"QuotesAlone", ">>>\n>\n", ">>>\n>\n"},
                    QuoteRow{"IndentedIsNotQuoted", " From x\n", " From x\n"},
                    QuoteRow{"Empty", "", ""}),
    test::RowLabel());

TEST(MboxWriterTest, PutsEachMailBehindItsFromLine) {
  std::ostringstream out;
  MboxWriter writer(out, std::time_t{1236593472});
  writer.Add({"Subject: a\r\n\r\nFrom me\r\n", "Ann <ann@example.com>", "2001-02-03 04:05:06"});
  writer.Add({"Subject: b\r\n\r\nno line break at the end", "", "not a date"});
  ASSERT_TRUE(writer.Finish());
  EXPECT_EQ(out.str(),
            "From ann@example.com Sat Feb  3 04:05:06 2001\n"
            "Subject: a\r\n\r\n>From me\r\n"
            "\n"
            "From MAILER-DAEMON Mon Mar  9 10:11:12 2009\n"
            "Subject: b\r\n\r\nno line break at the end\n"
            "\n");
}

}  // namespace
}  // namespace quillon
