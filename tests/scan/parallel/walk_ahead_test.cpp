// A walk begun afresh at any point and taken over where it meets the walk from the start finds
// what one walk over all the bytes finds: mailboxes made of the corpus, walked in chunks, with
// walks ahead begun at random points of random chunks. Where the two walks never meet, the
// chunk is walked again from the start's side; either way nothing found may differ.
#include "scan/parallel/walk_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/cli/record_output.h"
#include "scan/carve/mail_carver.h"
#include "scan/read/unreadable_sectors.h"
#include "support/paths.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

constexpr std::uint64_t kChunk = 256 * 1024;

struct Collected final : MailSink {
  void Accept(const MailRecordPtr& record) override { found.push_back(record); }
  std::vector<MailRecordPtr> found;
};

// The bytes of a mailbox and where its mails' header blocks begin.
struct Mailbox {
  std::string bytes;
  std::vector<std::uint64_t> blockStarts;
};

// Corpus mails, one after another in an order of `seed`, as `layout` puts them down.
enum class Layout {
  Separators,   // each behind a mailbox separator line
  Glued,        // back to back
  Noise,        // random bytes, NULs and text between them
  Attached,     // every third mail an attached message inside a multipart mail
  StoreBlocks,  // behind separators, in store blocks whose headers split lines
};

std::string WithStoreBlocks(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); at += 0x200) {
    const auto position = static_cast<std::uint32_t>(out.size());
    out += test::BlockHeader(position, position + 0x210);
    std::string area = text.substr(at, 0x200);
    area.resize(0x200, '\0');
    out += area;
  }
  return out;
}

Mailbox MakeMailbox(Layout layout, unsigned seed) {
  std::vector<std::filesystem::path> files = test::CorpusMessageFiles();
  std::mt19937 random(seed);
  std::shuffle(files.begin(), files.end(), random);
  files.resize(std::min<std::size_t>(files.size(), 400));
  Mailbox box;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string mail = test::ReadFileBytes(files[i]);
    switch (layout) {
      case Layout::Separators:
      case Layout::StoreBlocks:
        box.bytes += "From someone@example.org Mon Jan  6 10:00:00 2020\r\n";
        break;
      case Layout::Glued:
        break;
      case Layout::Noise: {
        std::string noise(random() % 3000, '\0');
        for (char& c : noise)
          c = random() % 4 == 0 ? '\0'
                                : static_cast<char>(random() % 3 ? 'a' + random() % 26 : random());
        box.bytes += noise + "\r\n";
        break;
      }
      case Layout::Attached:
        if (i % 3 == 1) {
          box.blockStarts.push_back(box.bytes.size());
          box.bytes +=
              "Received: from relay.example.org by mx.example.org; Mon, 6 Jan 2020 10:00:00 "
              "+0000\r\n"
              "From: outer@example.org\r\nTo: someone@example.org\r\n"
              "Date: Mon, 6 Jan 2020 10:00:00 +0000\r\nSubject: forwarded\r\n"
              "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"outer-" +
              std::to_string(i) + "\"\r\n\r\n--outer-" + std::to_string(i) +
              "\r\nContent-Type: text/plain\r\n\r\nSee the mail attached.\r\n\r\n--outer-" +
              std::to_string(i) + "\r\nContent-Type: message/rfc822\r\n\r\n";
          box.blockStarts.push_back(box.bytes.size());
          box.bytes += mail + "\r\n--outer-" + std::to_string(i) + "--\r\n";
          continue;
        }
        break;
    }
    box.blockStarts.push_back(box.bytes.size());
    box.bytes += mail;
    if (mail.size() < 2 || mail.compare(mail.size() - 2, 2, "\r\n") != 0) box.bytes += "\r\n";
  }
  if (layout == Layout::StoreBlocks) {
    box.bytes = WithStoreBlocks(box.bytes);
    box.blockStarts.clear();  // the blocks' data areas are not where header blocks are known
  }
  return box;
}

// What a front end would learn of each mail found, its body and its container included.
std::string Described(const std::vector<MailRecordPtr>& found) {
  std::string text;
  const RenderOptions render{1252};
  for (std::size_t i = 0; i < found.size(); ++i) {
    const MailRecord& record = *found[i];
    const MailBody body = record.Body();
    std::int64_t container = -1;
    for (std::size_t j = 0; j < found.size(); ++j)
      if (found[j].get() == record.container) container = static_cast<std::int64_t>(j);
    text += RecordJson(record, i, render) + " in " + std::to_string(container) + " body " +
            std::to_string(body.textEnd) + " " + std::to_string(body.followedEnd) + " " +
            std::to_string(std::hash<std::string>{}(body.bodyText)) + "\n";
  }
  return text;
}

struct MeetingRow {
  const char* name;
  Layout layout;
  unsigned seed;
  bool knownBlocks;  // the walks end mails' text where header blocks are known to begin
  // The walk ahead also goes on into the next chunk up to its first trace line, and the walk
  // from the start, once met, takes that walk on.
  bool walkOn = false;
};

void PrintTo(const MeetingRow& row, std::ostream* out) {
  *out << row.name;
}

class WalkAheadMeeting : public ::testing::TestWithParam<MeetingRow> {};

TEST_P(WalkAheadMeeting, FindsWhatOneWalkFinds) {
  const MeetingRow& row = GetParam();
  if (!test::CorpusMessagesDir()) GTEST_SKIP() << test::CorpusMissingMessage();
  const Mailbox box = MakeMailbox(row.layout, row.seed);
  std::string padded = box.bytes;
  padded.append(kCarveLookAhead, '\0');
  UnreadableSectors unreadable;
  const CarveBuffer bytes{reinterpret_cast<const std::uint8_t*>(padded.data()), padded.size(), 0,
                          &unreadable};
  const std::uint64_t end = box.bytes.size();
  const std::atomic<bool> stop{false};
  auto knownBlocks = [&box](std::uint64_t after) {
    const auto next = std::upper_bound(box.blockStarts.begin(), box.blockStarts.end(), after);
    return next == box.blockStarts.end() ? UINT64_MAX : *next;
  };

  Collected alone;
  MailCarver one("box", alone, 1252);
  Collected taken;
  MailCarver reference("box", taken, 1252);
  if (row.knownBlocks) {
    one.EndMailsAtNextBlocks(knownBlocks);
    reference.EndMailsAtNextBlocks(knownBlocks);
  }
  std::mt19937 random(row.seed);
  int met = 0, redone = 0, walkedOn = 0;
  for (std::uint64_t chunk = 0; chunk < end; chunk += kChunk) {
    const std::uint64_t walkEnd = std::min(end, chunk + kChunk);
    one.Walk(bytes, walkEnd, stop);
    if (random() % 3 == 0) {
      reference.Walk(bytes, walkEnd, stop);
      continue;
    }
    // Anywhere from a little before the walk from the start stands to well into the chunk.
    const std::uint64_t standing = std::max(chunk, reference.Position());
    const std::uint64_t from =
        standing - std::min<std::uint64_t>(standing, random() % 2048) + random() % (kChunk / 4);
    WalkAhead ahead("box", 1252, std::min(from, walkEnd));
    if (row.knownBlocks) ahead.EndMailsAtBlocks(box.blockStarts);
    ahead.Run(bytes, walkEnd, stop, nullptr);
    const std::uint64_t nextEnd = std::min(end, walkEnd + kChunk);
    if (row.walkOn) ahead.WalkOnToTraceLine(bytes, nextEnd, stop, nullptr);
    const bool meets = ahead.CarryOn(reference, taken, bytes, walkEnd, stop, nullptr);
    (meets ? met : redone)++;
    ASSERT_EQ(reference.Position(), one.Position()) << "chunk at " << chunk;
    // Where the walk from the start knows a header block to begin at `nextEnd`, a walk gone on to
    // that end may not have walked as it would.
    const std::uint64_t firstBlockFromEnd = row.knownBlocks ? knownBlocks(nextEnd - 1) : UINT64_MAX;
    MailCarver* walkedOnTo = ahead.WalkedOn(firstBlockFromEnd);
    if (meets && walkedOnTo) {
      reference.TakeWalkFrom(*walkedOnTo);
      ++walkedOn;
    }
  }
  one.Finish();
  reference.Finish();

  ASSERT_FALSE(alone.found.empty()) << "no mail found: nothing compared";
  EXPECT_EQ(Described(taken.found), Described(alone.found));
  // The rows are mail upon mail: most walks ahead must be met, or the takeover went untested.
  EXPECT_GT(met, redone) << met << " met, " << redone << " walked again";
  if (row.walkOn) {
    EXPECT_GT(walkedOn, 0) << "no walk gone on was taken: nothing compared";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Mailboxes, WalkAheadMeeting,
    ::testing::Values(MeetingRow{"Separators", Layout::Separators, 1, false},
                      MeetingRow{"SeparatorsKnownBlocks", Layout::Separators, 2, true},
                      MeetingRow{"Glued", Layout::Glued, 3, false},
                      MeetingRow{"GluedKnownBlocks", Layout::Glued, 4, true},
                      MeetingRow{"Noise", Layout::Noise, 5, false},
                      MeetingRow{"NoiseKnownBlocks", Layout::Noise, 6, true},
                      MeetingRow{"Attached", Layout::Attached, 7, false},
                      MeetingRow{"AttachedKnownBlocks", Layout::Attached, 8, true},
                      MeetingRow{"StoreBlocks", Layout::StoreBlocks, 9, false},
                      MeetingRow{"SeparatorsWalkedOn", Layout::Separators, 10, false, true},
                      MeetingRow{"GluedKnownBlocksWalkedOn", Layout::Glued, 11, true, true},
                      MeetingRow{"NoiseKnownBlocksWalkedOn", Layout::Noise, 12, true, true},
                      MeetingRow{"AttachedKnownBlocksWalkedOn", Layout::Attached, 13, true, true},
                      MeetingRow{"StoreBlocksWalkedOn", Layout::StoreBlocks, 14, false, true}),
    RowName{});

}  // namespace
}  // namespace quillon
