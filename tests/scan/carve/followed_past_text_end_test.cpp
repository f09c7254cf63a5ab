// Behind the next known header block the walk still follows the mail whose text ended there, up
// to the next trace line it sees: the lines add nothing to the text, but carry how far the carved
// bytes reach, and a NUL among them still ends the mail. Whole runs of such lines go in one step;
// the mail must come out as if every line had gone one by one, however the walk is cut in calls.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
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

const std::string kFirstMail =
    CrLf("x\nReceived: by y\nFrom: a@x\nTo: b@x\nDate: 1 Jan 2001 00:00:00\n\nfirst\nsecond\n");
// A header block found by its shape only: the first mail's text ends where it begins.
const std::string kShapeBlock = CrLf("From: c@x\nTo: d@x\nSubject: plain text\n\n");
const std::string kNextMail =
    CrLf("Received: by z\nFrom: e@x\nTo: f@x\nDate: 2 Jan 2001 00:00:00\n\nthird\n");

std::string Repeated(const std::string& lines, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += lines;
  return out;
}

struct PastEndRow {
  const char* name;
  std::string stretch;  // the bytes behind the shape block, up to the next trace line
  bool endsAtNul;       // a NUL in the stretch ends the first mail
};

void PrintTo(const PastEndRow& row, std::ostream* out) {
  *out << row.name;
}

class FollowedPastTextEnd : public ::testing::TestWithParam<PastEndRow> {};

TEST_P(FollowedPastTextEnd, ReachesTheLastLineBeforeTheNextTraceLine) {
  const PastEndRow& row = GetParam();
  const std::string mail = kFirstMail + kShapeBlock + row.stretch + kNextMail;
  const std::uint64_t blockStart = kFirstMail.size();
  const std::uint64_t nextTrace = mail.rfind("Received: by z");
  // The CR of the last line the first mail takes: before the NUL, else before the trace line.
  const std::uint64_t nul = mail.find('\0');
  const std::uint64_t reach = row.endsAtNul ? nul : nextTrace - 2;
  ASSERT_EQ(row.endsAtNul, nul != std::string::npos);

  std::vector<std::uint8_t> bytes(mail.begin(), mail.end());
  bytes.resize(bytes.size() + kCarveLookAhead, 0);
  const CarveBuffer buffer{bytes.data(), bytes.size(), 0};
  // One call, and calls cut anywhere in the stretch, some inside a line.
  for (const std::uint64_t cut : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{77},
                                  std::uint64_t{1000}, std::uint64_t{4096}}) {
    SCOPED_TRACE(cut == 0 ? std::string("one call") : "cut every " + std::to_string(cut));
    Collector sink;
    MailCarver carver("past.img", sink, 1252);
    carver.EndMailsAtNextBlocks(
        [&](std::uint64_t after) { return after < blockStart ? blockStart : UINT64_MAX; });
    const std::atomic<bool> stop{false};
    for (std::uint64_t end = cut == 0 ? mail.size() : blockStart + cut;; end += cut) {
      carver.Walk(buffer, std::min<std::uint64_t>(end, mail.size()), stop);
      if (end >= mail.size()) break;
    }
    carver.Finish();

    ASSERT_EQ(sink.records.size(), 2u);
    const MailBody first = sink.records[0]->Body();
    EXPECT_EQ(first.bodyText, "first\r\nsecond");
    EXPECT_EQ(first.followedEnd, reach);
    EXPECT_EQ(first.textEnd, row.endsAtNul ? nul : 0u);
    EXPECT_EQ(sink.records[1]->StartByte(), nextTrace);
    EXPECT_EQ(sink.records[1]->Body().bodyText, "third");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Stretches, FollowedPastTextEnd,
    ::testing::Values(
        PastEndRow{"PlainLines", Repeated(CrLf("a line of the mail found by its shape\n"), 300),
                   false},
        PastEndRow{"Paragraphs",
                   Repeated(CrLf("some prose\nmore of it\n\nanother paragraph\n"), 200), false},
        // Lines a run must not begin with: boundaries, words like a trace line's, separators.
        PastEndRow{"LinesThatStopRuns",
                   Repeated(CrLf("text\n--not a boundary\nRegards\nreceived nothing\n\nFrom me\n"
                                 "\tindented\nend\n"),
                            150),
                   false},
        PastEndRow{"BytesThatAreNoText", Repeated(CrLf("text\n\x01\x7f binary\n\xff\xfe\n"), 200),
                   false},
        PastEndRow{"NulInTheMiddle",
                   Repeated(CrLf("a line\n"), 400) + std::string("half a line\0rest", 16) +
                       CrLf("\n") + Repeated(CrLf("after the NUL\n"), 100),
                   true},
        PastEndRow{"OneShortLine", CrLf("x\n"), false}),
    test::RowName{});

}  // namespace
}  // namespace quillon
