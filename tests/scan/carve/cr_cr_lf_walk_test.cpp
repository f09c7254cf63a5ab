// A mail exported with CR LF through a layer that turns every LF into CR LF ends each line in
// CR CR LF. Without --strict the walk reads such a mail as it reads the same mail with CR LF:
// its header block ends at the empty line, its parts' headers end at theirs. --strict keeps the
// walk's old rule, which sees no empty line there.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/carve/mail_carver.h"
#include "support/scan_harness.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::CrLf;

struct Collector final : MailSink {
  void Accept(const MailRecordPtr& record) override { records.push_back(record); }
  std::vector<MailRecordPtr> records;
};

std::string CrCrLf(std::string_view lines) {
  std::string out;
  for (const char c : lines) out += c == '\n' ? std::string("\r\r\n") : std::string(1, c);
  return out;
}

const std::string kOldLine = "old bytes\r\n";

// Walks `text` (behind a line of old bytes) in calls of `cut` bytes (0: one call).
std::vector<MailRecordPtr> Walked(const std::string& text, bool strict, std::uint64_t cut) {
  const std::string source = kOldLine + text + std::string(600, '\0');
  std::vector<std::uint8_t> bytes(source.begin(), source.end());
  bytes.resize(bytes.size() + kCarveLookAhead, 0);
  const CarveBuffer buffer{bytes.data(), bytes.size(), 0};
  Collector sink;
  MailCarver carver("crcrlf.img", sink, 1252);
  if (!strict) carver.EndMailsAtNextBlocks([](std::uint64_t) { return UINT64_MAX; });
  const std::atomic<bool> stop{false};
  for (std::uint64_t end = cut == 0 ? source.size() : cut;; end += cut) {
    carver.Walk(buffer, std::min<std::uint64_t>(end, source.size()), stop);
    if (end >= source.size()) break;
  }
  carver.Finish();
  return sink.records;
}

std::vector<std::string> PartNames(const MailRecord& record) {
  std::vector<std::string> names;
  for (const PartEntry& part : record.Body().parts) names.push_back(part.name.String());
  return names;
}

struct CrCrLfRow {
  const char* name;
  const char* lines;  // the mail with "\n" line ends
  bool multipart;
};

void PrintTo(const CrCrLfRow& row, std::ostream* out) {
  *out << row.name;
}

class CrCrLfWalk : public ::testing::TestWithParam<CrCrLfRow> {};

TEST_P(CrCrLfWalk, DefaultModeReadsTheMailAsItsCrLfTwin) {
  const CrCrLfRow& row = GetParam();
  const std::vector<MailRecordPtr> twin = Walked(CrLf(row.lines), false, 0);
  ASSERT_EQ(twin.size(), 1u);
  ASSERT_FALSE(twin[0]->Body().bodyText.empty());
  for (const std::uint64_t cut : {std::uint64_t{0}, std::uint64_t{7}, std::uint64_t{64}}) {
    SCOPED_TRACE(cut == 0 ? std::string("one call") : "cut every " + std::to_string(cut));
    const std::vector<MailRecordPtr> found = Walked(CrCrLf(row.lines), false, cut);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->StartByte(), twin[0]->StartByte());
    EXPECT_EQ(found[0]->subject.String(), twin[0]->subject.String());
    EXPECT_EQ(found[0]->Body().bodyText, twin[0]->Body().bodyText);
    EXPECT_EQ(PartNames(*found[0]), PartNames(*twin[0]));
    // Its closing boundary line, or the NUL behind a single part, ends it with its last byte.
    EXPECT_EQ(found[0]->Body().textEnd, kOldLine.size() + CrCrLf(row.lines).size());
  }
}

TEST_P(CrCrLfWalk, StrictModeSeesNoEmptyLine) {
  const CrCrLfRow& row = GetParam();
  EXPECT_EQ(Walked(CrLf(row.lines), true, 0).size(), 1u);
  // Only a multipart's first boundary line ends the block there.
  EXPECT_EQ(Walked(CrCrLf(row.lines), true, 0).size(), row.multipart ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Mails, CrCrLfWalk,
    ::testing::Values(
        CrCrLfRow{"OnePart",
                  "Received: by y\nFrom: a@x\nTo: b@x\nDate: 1 Jan 2001 00:00:00\n"
                  "Subject: one part\n\nfirst line\n\nsecond paragraph\n",
                  false},
        CrCrLfRow{"TextAndAttachment",
                  "Received: by y\nFrom: a@x\nTo: b@x\nDate: 1 Jan 2001 00:00:00\n"
                  "Subject: two parts\nContent-Type: multipart/mixed; boundary=\"b1\"\n\n"
                  "preamble\n--b1\nContent-Type: text/plain\n\nthe text\nof the mail\n"
                  "--b1\nContent-Type: application/pdf; name=\"a.pdf\"\n"
                  "Content-Disposition: attachment; filename=\"a.pdf\"\n"
                  "Content-Transfer-Encoding: base64\n\nJVBERi0xLjQK\n--b1--\n",
                  true},
        CrCrLfRow{"PartWithoutHeaders",
                  "Received: by y\nFrom: a@x\nTo: b@x\nDate: 1 Jan 2001 00:00:00\n"
                  "Subject: bare part\nContent-Type: multipart/alternative; boundary=b2\n\n"
                  "--b2\n\nplain words\n--b2\nContent-Type: text/html\n\n<p>words</p>\n"
                  "--b2--\n",
                  true}),
    test::RowName{});

}  // namespace
}  // namespace quillon
