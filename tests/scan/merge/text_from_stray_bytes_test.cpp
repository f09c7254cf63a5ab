// A stray control byte or two in a field line belong to the mail, as the header reader takes
// them: the printed text runs on over them. Anywhere else, or more of them, a byte that is no
// text still ends the text at the last whole line before it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "scan/merge/mail_print.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

const std::string kTop = "Date: Mon, 11 Nov 2019 16:27:11 +0100\r\nFrom: spammer@example.com\r\n";
const std::string kRest = "Subject: Macro\r\n\r\nThe body.\r\n";

struct StrayRow {
  const char* name;
  std::string line;  // stands between kTop and kRest
  bool runsOn;       // the text holds every byte; else it ends behind kTop
};

class StrayBytesInALine : public ::testing::TestWithParam<StrayRow> {};

TEST_P(StrayBytesInALine, EndTheTextOnlyOutsideAFieldLine) {
  const StrayRow& row = GetParam();
  const std::string bytes = kTop + row.line + kRest;
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  std::string stepped;
  const MailText text = TextFrom(buffer, 0, bytes.size(), stepped);
  ASSERT_NE(text.data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(text.data), text.size),
            row.runsOn ? bytes : kTop);
  // A text that runs on holds its header block's end: its print tells it from other mails.
  EXPECT_EQ(PrintOf(text).known, row.runsOn);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StrayBytesInALine,
    ::testing::Values(StrayRow{"OneInAFieldValue", "To: victim@e\x02xample.com\r\n", true},
                      StrayRow{"TwoInAFieldValue", "To: vic\x03tim@e\x02xample.com\r\n", true},
                      StrayRow{"BehindTheColon", "Cc:\x0c someone@example.com\r\n", true},
                      StrayRow{"ThreeAreMoreThanStray", "To: v\x01ic\x03tim@e\x02xample.com\r\n",
                               false},
                      StrayRow{"InTheFieldName", "T\x02o: victim@example.com\r\n", false},
                      StrayRow{"InALineThatIsNoField", "victim\x02 example com\r\n", false}),
    test::RowName());

TEST(StrayBytesInALine, NeedTheLineEndBeforeTheLimit) {
  const std::string bytes = kTop + "To: victim@e\x02xample.com\r\n" + kRest;
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
  std::string stepped;
  const std::size_t limit = kTop.size() + 20;  // inside the To line, behind the stray byte
  const MailText text = TextFrom(buffer, 0, limit, stepped);
  EXPECT_EQ(text.size, kTop.size());
}

// Two mails with the same values, one with a stray byte in a field: the prints tell them apart.
TEST(StrayBytesInALine, LeaveTwoMailsWithTheSameValuesApart) {
  const std::string stray = kTop + "To: victim@e\x02xample.com\r\n" + kRest;
  const std::string other = kTop + "To: someone@example.org\r\n" + kRest + "More.\r\n";
  auto printOf = [](const std::string& bytes) {
    const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), 0};
    std::string stepped;
    return PrintOf(TextFrom(buffer, 0, bytes.size(), stepped));
  };
  const MailPrint a = printOf(stray);
  const MailPrint b = printOf(other);
  ASSERT_TRUE(a.known);
  ASSERT_TRUE(b.known);
  EXPECT_FALSE(SameHeader(a, b));
}

}  // namespace
}  // namespace quillon
