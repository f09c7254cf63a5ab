#include "output/mail_rendering.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scan/mail_reader.h"
#include "source/memory_source.h"
#include "support/scan_harness.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

struct TxtRow {
  const char* name;
  std::string subject;
  std::string from;
  std::string to;
  std::string date;
  std::string body;
  std::string expected;
};

class Txt : public ::testing::TestWithParam<TxtRow> {};

TEST_P(Txt, CopiesTheCarvedValuesAndTheBody) {
  auto record = std::make_shared<MailRecord>();
  record->subject = GetParam().subject;
  record->from = GetParam().from;
  record->to = GetParam().to;
  record->date = GetParam().date;
  record->cc = "Never Written <cc@example.org>";
  PartEntry attachment;
  attachment.name = "never-written.zip";
  attachment.size = 10;
  record->attachments.push_back(attachment);
  MailBody body;
  body.bodyText = GetParam().body;
  record->PublishBody(body);
  EXPECT_EQ(RenderTxt(*record), GetParam().expected);
}

constexpr std::string_view kSeparator = "---------- Text ---------\r\n";

INSTANTIATE_TEST_SUITE_P(
    MailRendering, Txt,
    ::testing::Values(
        TxtRow{"AllEmptyIs60Bytes", "", "", "", "", "",
               "Subject: \r\nFrom: \r\nTo: \r\nDate: \r\n---------- Text ---------\r\n"},
        TxtRow{"Plain", "Hello", "a@example.org", "b@example.com", "2009-03-09 10:11:12",
               "Line one\r\nLine two",
               "Subject: Hello\r\nFrom: a@example.org\r\nTo: b@example.com\r\n"
               "Date: 2009-03-09 10:11:12\r\n" +
                   std::string(kSeparator) + "Line one\r\nLine two"},
        TxtRow{"EncodedWordsStayEncoded", "=?utf-8?B?SGVsbG8=?=", "=?gb2312?B?1tDOxA==?= <a@b>",
               "b", "d", "",
               "Subject: =?utf-8?B?SGVsbG8=?=\r\nFrom: =?gb2312?B?1tDOxA==?= <a@b>\r\nTo: b\r\n"
               "Date: d\r\n" +
                   std::string(kSeparator)},
        TxtRow{"UnnormalisedDateAsCarved", "s", "f", "t", "Fri, 1 Jan 1988 00:00:00 GMT", "",
               "Subject: s\r\nFrom: f\r\nTo: t\r\nDate: Fri, 1 Jan 1988 00:00:00 GMT\r\n" +
                   std::string(kSeparator)},
        TxtRow{"EightBitBytesUnchanged", "\xD6\xD0", "f", "t", "d",
               std::string("\xFF\xFE\x00\x01", 4),
               "Subject: \xD6\xD0\r\nFrom: f\r\nTo: t\r\nDate: d\r\n" + std::string(kSeparator) +
                   std::string("\xFF\xFE\x00\x01", 4)}),
    RowName{});

TEST(MailRendering, EmptyRecordRendersIn60Bytes) {
  EXPECT_EQ(RenderTxt(MailRecord()).size(), 60u);
}

TEST(MailRendering, EmlIsTheReadBackTextByteForByte) {
  // Bytes that are valid in no character set come back as they stand.
  const std::string mail = test::SampleMail("Bytes", "\xFF\xFE\x80 caf\xE9\r\n");
  const std::string image = std::string(62, 'n') + "\r\n" + mail + std::string(1024, '\0');
  const auto scanned = test::ScanBytes(image);
  ASSERT_EQ(scanned.records.size(), 1u);

  DataSource source;
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(image.begin(), image.end())),
                     "memory.img");
  std::string readBack;
  ASSERT_TRUE(ReadMailText(*scanned.records[0], &source, readBack, nullptr));
  const std::string eml = RenderEml(*scanned.records[0], &source, nullptr);
  EXPECT_EQ(eml, readBack);
  // The mail's first trace line follows the lead-in's CR LF: the whole mail comes back.
  EXPECT_EQ(eml, mail);
}

TEST(MailRendering, EmlOfAMailWhoseSourceIsGoneIsEmpty) {
  MailRecord record;
  record.SetSourceName("/nonexistent/disk.img");
  EXPECT_EQ(RenderEml(record, nullptr, nullptr), "");
}

}  // namespace
}  // namespace quillon
