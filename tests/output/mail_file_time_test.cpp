#include "output/mail_file_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "source/source_test_files.h"

namespace quillon {
namespace {

struct DateRow {
  std::string label;
  std::string value;
  std::optional<std::int64_t> expected;
};

class MailDateSecondsTest : public testing::TestWithParam<DateRow> {};

TEST_P(MailDateSecondsTest, Reads) {
  EXPECT_EQ(MailDateSeconds(GetParam().value), GetParam().expected);
}

// 2009-03-09 10:11:12 UTC is 1236593472.
INSTANTIATE_TEST_SUITE_P(
    Dates, MailDateSecondsTest,
    testing::Values(DateRow{"Utc", "Mon, 9 Mar 2009 10:11:12 +0000", 1236593472},
                    DateRow{"EastOfUtc", "Mon, 9 Mar 2009 18:11:12 +0800", 1236593472},
                    DateRow{"WestOfUtcHalfHour", "Mon, 9 Mar 2009 06:41:12 -0330", 1236593472},
                    DateRow{"NoDayName", "9 Mar 2009 10:11:12 +0000", 1236593472},
                    DateRow{"NoSeconds", "Mon, 9 Mar 2009 10:11 +0000", 1236593460},
                    DateRow{"NoZoneIsUtc", "Mon, 9 Mar 2009 10:11:12", 1236593472},
                    DateRow{"UnknownZoneIsUtc", "Mon, 9 Mar 2009 10:11:12 XYZ", 1236593472},
                    DateRow{"ObsoleteZoneName", "Mon, 9 Mar 2009 06:11:12 EDT", 1236593472},
                    DateRow{"ZoneComment", "Mon, 9 Mar 2009 10:11:12 +0000 (UTC)", 1236593472},
                    // RFC 5322 4.3: 91 is 1991, 08 is 2008, 109 is 2009.
                    DateRow{"TwoDigitYearLastCentury", "Tue, 8 Oct 91 10:25:36 +0000", 686917536},
                    DateRow{"TwoDigitYearThisCentury", "Sun, 9 Mar 08 10:11:12 +0000", 1205057472},
                    DateRow{"ThreeDigitYear", "Mon, 9 Mar 109 10:11:12 +0000", 1236593472},
                    DateRow{"FoundMailForm", "2009-03-09 10:11:12", 1236593472},
                    DateRow{"LeapDay", "29 Feb 2008 00:00:00 +0000", 1204243200},
                    DateRow{"NoLeapDay", "29 Feb 2009 00:00:00 +0000", std::nullopt},
                    DateRow{"HourTooLarge", "9 Mar 2009 24:00:00 +0000", std::nullopt},
                    DateRow{"NoMonth", "9 Foo 2009 10:11:12 +0000", std::nullopt},
                    DateRow{"NoTime", "9 Mar 2009", std::nullopt},
                    DateRow{"Words", "sometime last week", std::nullopt},
                    DateRow{"Empty", "", std::nullopt}),
    test::RowLabel());

struct ContentRow {
  std::string label;
  std::string content;
  std::optional<std::int64_t> expected;
};

class ContentDateSecondsTest : public testing::TestWithParam<ContentRow> {};

TEST_P(ContentDateSecondsTest, FindsTheHeader) {
  EXPECT_EQ(ContentDateSeconds(GetParam().content), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, ContentDateSecondsTest,
    testing::Values(
        ContentRow{"Eml",
                   "Received: from a by b; Tue, 1 Jan 2002 00:00:00 +0000\r\n"
                   "Date: Mon, 9 Mar 2009 10:11:12 +0000\r\n\r\nbody\r\n",
                   1236593472},
        ContentRow{"Folded", "Subject: x\r\nDate: Mon, 9 Mar 2009\r\n 10:11:12 +0000\r\n\r\n",
                   1236593472},
        ContentRow{"BareLineFeeds", "Subject: x\nDATE: 2009-03-09 10:11:12\n\nbody\n", 1236593472},
        ContentRow{"TxtRendering",
                   "Subject: x\r\nFrom: a\r\nTo: b\r\nDate: 2009-03-09 10:11:12\r\n"
                   "---------- Text ---------\r\nDate: 2001-01-01 00:00:00\r\n",
                   1236593472},
        ContentRow{"OnlyInTheBody", "Subject: x\r\n\r\nDate: Mon, 9 Mar 2009 10:11:12 +0000\r\n",
                   std::nullopt},
        ContentRow{"TxtWithoutDate",
                   "Subject: x\r\nFrom: a\r\nTo: b\r\nDate: \r\n---------- Text ---------\r\n",
                   std::nullopt}),
    test::RowLabel());

struct StampRow {
  std::string label;
  std::string date;
  std::optional<std::int64_t> expected;  // the file's time afterwards; none: left as it was
};

class StampMailFileTimeTest : public testing::TestWithParam<StampRow> {};

TEST_P(StampMailFileTimeTest, SetsOnlyMomentsAFileCanHave) {
  const std::filesystem::path path =
      std::filesystem::path(testing::TempDir()) / ("quillon_stamp_" + GetParam().label + ".eml");
  std::ofstream(path) << "x";
  const auto before = std::filesystem::last_write_time(path);
  const bool stamped = StampMailFileTime(path, "Date: " + GetParam().date + "\r\n\r\nbody\r\n");
  const auto after = std::filesystem::last_write_time(path);
  if (GetParam().expected) {
    EXPECT_TRUE(stamped);
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(
                  std::chrono::file_clock::to_sys(after).time_since_epoch())
                  .count(),
              *GetParam().expected);
  } else {
    EXPECT_FALSE(stamped);
    EXPECT_EQ(after, before);
  }
  std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, StampMailFileTimeTest,
    testing::Values(StampRow{"Ordinary", "Mon, 9 Mar 2009 10:11:12 +0000", 1236593472},
                    StampRow{"Year2100", "Fri, 1 Jan 2100 00:00:00 +0000", 4102444800},
                    StampRow{"FarFuture", "Sat, 1 Jan 3405 00:00:00 +0000", std::nullopt},
                    StampRow{"FarPast", "Mon, 1 Jan 1700 00:00:00 +0000", std::nullopt}),
    test::RowLabel());

}  // namespace
}  // namespace quillon
