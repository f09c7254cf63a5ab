#include "output/csv_report_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "source/source_test_files.h"

namespace quillon {
namespace {

struct FieldRow {
  std::string label;
  std::string value;
  bool text;
  std::string expected;
};

class CsvFieldTest : public testing::TestWithParam<FieldRow> {};

TEST_P(CsvFieldTest, QuotesWhatWouldBreakTheRow) {
  EXPECT_EQ(CsvField(GetParam().value, GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CsvFieldTest,
    testing::Values(
        FieldRow{"Plain", "Hello", true, "Hello"}, FieldRow{"Comma", "a, b", true, "\"a, b\""},
        FieldRow{"Quotes", "say \"hi\"", true, "\"say \"\"hi\"\"\""},
        FieldRow{"LineBreaks", "one\r\ntwo", true, "\"one\r\ntwo\""},
        FieldRow{"BareLf", "one\ntwo", true, "\"one\ntwo\""},
        FieldRow{"MarkupNeedsNoQuotes", "<b> & 'x'", true, "<b> & 'x'"},
        FieldRow{"InvalidUtf8", "caf\xE9", true, "caf\xEF\xBF\xBD"},
        // A spreadsheet would run these as formulas.
        FieldRow{"Formula", "=HYPERLINK(\"x\")", true, "\"'=HYPERLINK(\"\"x\"\")\""},
        FieldRow{"Plus", "+1", true, "'+1"}, FieldRow{"Minus", "-2", true, "'-2"},
        FieldRow{"At", "@SUM(A1)", true, "'@SUM(A1)"}, FieldRow{"Tab", "\tx", true, "'\tx"},
        FieldRow{"CarriageReturn", "\rx", true, "\"'\rx\""},
        FieldRow{"FormulaSignInside", "a=b", true, "a=b"},
        FieldRow{"NumbersAreNotGuarded", "-1", false, "-1"}, FieldRow{"Empty", "", true, ""}),
    test::RowLabel());

ReportedMail SampleMail() {
  ReportedMail mail;
  mail.index = 7;
  mail.file = "Mail Box/2001-01-01 Hello.eml";
  mail.sector = 5000000000ULL;
  mail.offset = 511;
  mail.bytes = 1234;
  mail.foundBy = "trace";
  mail.duplicateOf = 3;
  mail.damaged = true;
  mail.date = "2001-01-01 10:00:00";
  mail.from = "Ann <ann@example.com>";
  mail.to = "bob@example.com, cy@example.com";
  mail.subject = "Hello";
  mail.messageId = "<id@example.com>";
  mail.attachments = {"a.pdf", "b\r\nc.txt"};
  mail.sha256 = "ab12";
  return mail;
}

TEST(CsvReportWriterTest, WritesTheHeaderAndOneRowPerMail) {
  std::ostringstream out;
  CsvReportWriter writer(out);
  writer.Add(SampleMail());
  ReportedMail unsaved;
  unsaved.index = 8;
  unsaved.foundBy = "shape";
  unsaved.partOf = 7;
  writer.Add(unsaved);
  ASSERT_TRUE(writer.Finish());
  EXPECT_EQ(out.str(),
            "index,file,sector,offset,bytes,found_by,duplicate_of,part_of,damaged,date,from,to,"
            "subject,message_id,attachments,sha256\r\n"
            "7,Mail Box/2001-01-01 Hello.eml,5000000000,511,1234,trace,3,,yes,"
            "2001-01-01 10:00:00,Ann <ann@example.com>,\"bob@example.com, cy@example.com\","
            "Hello,<id@example.com>,\"a.pdf\nb  c.txt\",ab12\r\n"
            "8,,0,0,0,shape,,7,no,,,,,,,\r\n");
}

TEST(CsvReportWriterTest, FinishSaysWhenTheStreamFailed) {
  std::ostringstream out;
  CsvReportWriter writer(out);
  out.setstate(std::ios::badbit);
  writer.Add(SampleMail());
  EXPECT_FALSE(writer.Finish());
}

}  // namespace
}  // namespace quillon
