// The looser name rule the shape scan reads odd field lines by, and what the walk's rule keeps
// out of it.
#include <gtest/gtest.h>

#include <string>

#include "scan/lines/line_reader.h"

namespace quillon {
namespace {

struct LooseRow {
  const char* name;
  std::string line;
  std::size_t length;  // 0: no field by the looser rule either
  std::size_t colon;
};

void PrintTo(const LooseRow& row, std::ostream* out) {
  *out << row.name;
}

class LooseHeaderNameTest : public testing::TestWithParam<LooseRow> {};

TEST_P(LooseHeaderNameTest, ReadsTheNameAndItsColon) {
  const LooseRow& row = GetParam();
  const LooseFieldName loose = LooseHeaderName(row.line);
  EXPECT_EQ(loose.length, row.length);
  if (row.length > 0) {
    EXPECT_EQ(loose.colon, row.colon);
    EXPECT_EQ(row.line[loose.colon], ':');
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LooseHeaderNameTest,
    testing::Values(
        LooseRow{"BlankBeforeColon", "X-Mailer :  Eudora Pro 4.2", 8, 9},
        LooseRow{"TabBeforeColon", "X-Sender\t: a@b.example", 8, 9},
        LooseRow{"ThreeBlanksBeforeColon", "Subject   : x", 7, 10},
        LooseRow{"FourBlanksAreASentences", "Subject    : x", 0, 0},
        LooseRow{"PlainName", "Subject: x", 7, 7},
        LooseRow{"LatinOneFirstByte", "\xc9tat: lu", 4, 4},
        LooseRow{"UtfEightFirstByte", "\xc3\x84nderung: 1", 9, 9},
        LooseRow{"CyrillicNameInUtfEight",
                 "\xd0\x9f\xd0\xbe\xd0\xbb\xd1\x83\xd1\x87\xd0\xb5\xd0\xbd\xd0\xbe: x", 16, 16},
        LooseRow{"ChineseNameInUtfEight", "\xe4\xbb\xb6\xe5\x90\x8d: x", 6, 6},
        LooseRow{"BinaryBytesRunIntoAColon", "\xd9q\xef\x86\xc7\x82\xcb\xc4\x9a\xfar: x", 0, 0},
        LooseRow{"FewLettersAmongBinary", "\xac\x35\x91: x", 0, 0},
        LooseRow{"DigitFirst", "6:50 +0000", 0, 0},
        LooseRow{"QuoteMarkFirst", ">From a@b.example Mon Mar  3 10:00:00 2008", 0, 0},
        LooseRow{"SeparatorLine", "From a@b.example Mon Mar  3 10:00:00 2008", 0, 0},
        LooseRow{"SentenceWithAColonLater", "Note that it is: x", 0, 0},
        LooseRow{"BlankFirst", " X-Mailer : x", 0, 0},
        LooseRow{"NoColon", "X-Mailer Eudora", 0, 0}),
    [](const testing::TestParamInfo<LooseRow>& row) { return row.param.name; });

// The walk's rule stays as it was: it reads none of the odd names.
TEST(LooseHeaderNameTest, WalksRuleReadsNoOddName) {
  for (const char* line : {"X-Mailer :  Eudora", "\xc3\x84nderung: 1", "X-Sender\t: a"})
    EXPECT_EQ(HeaderNameLength(line), 0u) << line;
}

}  // namespace
}  // namespace quillon
