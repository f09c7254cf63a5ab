// The finder keeps a list of the lines that begin with "--" across questions and buffers; each
// answer must be what FindClosingBoundaryLine over the same bytes answers.
#include "scan/shape/closing_boundary_finder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scan/lines/line_reader.h"
#include "scan/read/unreadable_sectors.h"
#include "scan/source_position.h"

namespace quillon {
namespace {

// What a fresh search answers: the line feed's buffer index, or nothing.
std::optional<std::size_t> FreshSearch(CarveBuffer buffer, std::size_t from, std::size_t limit,
                                       const std::string& boundary) {
  const std::string_view text(reinterpret_cast<const char*>(buffer.data), limit);
  const ClosingBoundaryLine line = FindClosingBoundaryLine(text, boundary, from);
  if (!line.found) return std::nullopt;
  return line.lineFeed;
}

struct Question {
  std::size_t kept;  // the buffer holds the source bytes [kept, readTo)
  std::size_t readTo;
  std::size_t from;   // absolute
  std::size_t limit;  // absolute; where a NUL stands, say
  std::string boundary;
};

struct ClosingRow {
  const char* name;
  std::string source;
  std::vector<Question> questions;
};

std::string Filler(std::size_t lines) {
  std::string text;
  for (std::size_t i = 0; i < lines; ++i) text += "a line of text\r\n-- \r\n";
  return text;
}

// Two mails with closing lines, a part line and a boundary that only begins alike.
const std::string kMails = Filler(20) + "\r\n--b1\r\nx\r\n--b1--\r\n" + Filler(20) +
                           "--b2\r\n--b22--\r\n" + Filler(20) + "\r\n--b2--\r\n" + Filler(20);

class ClosingBoundaryFinderTest : public testing::TestWithParam<ClosingRow> {};

TEST_P(ClosingBoundaryFinderTest, AnswersAsAFreshSearch) {
  const ClosingRow& row = GetParam();
  const auto* source = reinterpret_cast<const std::uint8_t*>(row.source.data());
  ClosingBoundaryFinder finder;
  for (std::size_t i = 0; i < row.questions.size(); ++i) {
    const Question& question = row.questions[i];
    const std::size_t readTo = std::min(question.readTo, row.source.size());
    const CarveBuffer buffer{source + question.kept, readTo - question.kept, question.kept};
    const std::size_t from = question.from - question.kept;
    const std::size_t limit = std::min(question.limit, readTo) - question.kept;
    EXPECT_EQ(finder.Find(buffer, from, limit, question.boundary),
              FreshSearch(buffer, from, limit, question.boundary))
        << "question " << i << ": " << question.boundary << " from " << question.from;
  }
}

const std::size_t kEnd = kMails.size();
const std::size_t kB1 = kMails.find("--b1--") - 1;
const std::size_t kB2 = kMails.find("\n--b2--");

INSTANTIATE_TEST_SUITE_P(
    Rows, ClosingBoundaryFinderTest,
    testing::Values(
        ClosingRow{
            "MailsInTurn", kMails, {{0, kEnd, 10, kEnd, "b1"}, {0, kEnd, kB1 + 1, kEnd, "b2"}}},
        ClosingRow{
            "LongerBoundaryAlike", kMails, {{0, kEnd, 10, kEnd, "b22"}, {0, kEnd, 10, kEnd, "b"}}},
        ClosingRow{"FromTheLineFeedItself", kMails, {{0, kEnd, kB1, kEnd, "b1"}}},
        ClosingRow{"BehindTheClosingLine", kMails, {{0, kEnd, kB1 + 1, kEnd, "b1"}}},
        // A NUL in front of the closing line's end hides it.
        ClosingRow{"LimitCutsTheLine",
                   kMails,
                   {{0, kEnd, 10, kB1 + 5, "b1"},
                    {0, kEnd, 10, kB1 + 6, "b1"},
                    {0, kEnd, 10, kB1 + 7, "b1"}}},
        ClosingRow{"NoClosingLine", kMails, {{0, kEnd, 10, kEnd, "b3"}, {0, kEnd, 20, kEnd, "b3"}}},
        // The buffer grows a few bytes at a time, across the closing lines.
        ClosingRow{"BufferGrows",
                   kMails,
                   {{0, kB1 - 20, 10, kEnd, "b1"},
                    {0, kB1 + 2, 11, kEnd, "b1"},
                    {0, kB1 + 6, 12, kEnd, "b1"},
                    {0, kB1 + 7, 13, kEnd, "b1"},
                    {0, kB2 + 3, kB1 + 1, kEnd, "b2"},
                    {0, kEnd, kB1 + 1, kEnd, "b2"}}},
        ClosingRow{"FrontLetGo",
                   kMails,
                   {{0, kB1 + 100, 5, kEnd, "b1"},
                    {kB1 + 10, kB2 + 100, kB1 + 20, kEnd, "b2"},
                    {kB2 - 40, kEnd, kB2 - 30, kEnd, "b2"},
                    {kB2 + 1, kEnd, kB2 + 2, kEnd, "b2"}}},
        ClosingRow{
            "BackwardsAgain",
            kMails,
            {{0, kEnd, kB2, kEnd, "b2"}, {0, kEnd, 10, kEnd, "b1"}, {0, kEnd, 10, kEnd, "b2"}}}),
    [](const testing::TestParamInfo<ClosingRow>& row) { return std::string(row.param.name); });

// Random boundary lines and questions in ascending order over a buffer that moves and grows.
TEST(ClosingBoundaryFinderSweep, AgreesWithAFreshSearchOverRandomMail) {
  std::mt19937 random(9);
  std::string source;
  while (source.size() < 200'000) {
    const std::string boundary = "b" + std::to_string(random() % 7);
    source += random() % 3 == 0 ? "\r\n--" + boundary + (random() % 2 ? "--" : "") + "\r\n"
                                : "text -- more\r\n";
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.data());
  ClosingBoundaryFinder finder;
  std::size_t kept = 0, readTo = 4096, at = 0;
  for (int question = 0; question < 3000; ++question) {
    readTo = std::min(source.size(), readTo + random() % 300);
    kept = std::min(at, kept + random() % 200);
    at = std::min(readTo, at + random() % 100);
    const CarveBuffer buffer{bytes + kept, readTo - kept, kept};
    const std::size_t limit = random() % 4 == 0 ? at - kept + random() % 2000 : readTo - kept;
    const std::size_t clamped = std::min(limit, buffer.size);
    const std::string boundary = "b" + std::to_string(random() % 8);
    ASSERT_EQ(finder.Find(buffer, at - kept, clamped, boundary),
              FreshSearch(buffer, at - kept, clamped, boundary))
        << "question " << question;
  }
}

// Where the sectors are marked as the mark pass tells them, the finder lists "\n--" only in those
// that may hold a dash: base64 sectors are passed over, and the answers stay those of a fresh
// search, for boundary lines across sector edges, in sectors marked late, in front of what is
// still known and behind what is marked yet.
struct MarkedRow {
  const char* name;
  std::size_t markedSectors;  // told in stretches of 64 sectors from sector 0 on
  std::size_t forgetBefore;   // sector; 0 for none
  std::size_t kept;           // where the buffers begin at the earliest
};

class MarkedSectorsTest : public testing::TestWithParam<MarkedRow> {};

TEST_P(MarkedSectorsTest, AnswersAsAFreshSearch) {
  const MarkedRow& row = GetParam();
  constexpr std::size_t S = kSectorSize;
  std::mt19937 random(21);
  // Sectors of base64 lines (no dash), and now and then one of text with boundary lines.
  std::string source;
  for (std::size_t sector = 0; sector < 400; ++sector) {
    std::string text;
    if (random() % 4 == 0) {
      while (text.size() < S)
        text += random() % 2 ? "\r\n--b" + std::to_string(random() % 5) + "--\r\n" : "a - b\r\n";
    } else {
      while (text.size() < S) text += "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVo+/09\r\n";
    }
    source += text.substr(0, S);
  }
  // Closing lines across sector edges: the line feed last in a sector, a dash first in the next.
  for (std::size_t sector : {7u, 8u, 90u, 200u, 330u}) {
    for (std::size_t shift : {1u, 2u, 3u}) {
      const std::size_t edge = (sector + shift * 20) * S;
      source.replace(edge - shift, 7, "\n--b1--");
    }
  }
  UnreadableSectors sectors;
  for (std::size_t first = 0; first < row.markedSectors; first += 64) {
    const std::size_t count = std::min<std::size_t>(64, row.markedSectors - first);
    std::vector<std::uint64_t> dashes(1, 0);
    for (std::size_t i = 0; i < count; ++i)
      if (source.substr((first + i) * S, S).find('-') != std::string::npos)
        dashes[0] |= std::uint64_t{1} << i;
    sectors.AddMarkedSectors(first, count, {}, dashes);
  }
  if (row.forgetBefore != 0) sectors.ForgetNulSectorsBefore(row.forgetBefore);

  const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.data());
  ClosingBoundaryFinder finder;
  std::size_t kept = row.kept, readTo = row.kept + 4096, at = row.kept;
  int found = 0;
  for (int question = 0; question < 2000; ++question) {
    readTo = std::min(source.size(), readTo + random() % 600);
    kept = std::min(at, kept + random() % 200);
    at = std::min(readTo, at + random() % 150);
    const CarveBuffer buffer{bytes + kept, readTo - kept, kept, &sectors};
    const std::size_t limit =
        std::min(buffer.size, random() % 4 == 0 ? at - kept + random() % 3000 : readTo - kept);
    const std::string boundary = "b" + std::to_string(random() % 6);
    const std::optional<std::size_t> fresh = FreshSearch(buffer, at - kept, limit, boundary);
    ASSERT_EQ(finder.Find(buffer, at - kept, limit, boundary), fresh) << "question " << question;
    found += fresh.has_value();
  }
  EXPECT_GT(found, 100);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MarkedSectorsTest,
    testing::Values(MarkedRow{"AllMarked", 400, 0, 0}, MarkedRow{"NothingMarked", 0, 0, 0},
                    // The buffers reach beyond the sectors marked: there every byte is looked at.
                    MarkedRow{"MarkedInPart", 150, 0, 0},
                    // ... and begin in front of them, once the first ones are forgotten.
                    MarkedRow{"FrontForgotten", 400, 100, 60 * kSectorSize + 7}),
    [](const testing::TestParamInfo<MarkedRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
