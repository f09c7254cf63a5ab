// Copies of one real message as a disk holds them: deleted copies in clusters, a live copy in a
// store's block chain, the same store blocks met as raw bytes, copies cut short, copies with
// other bytes behind them, copies found at a later header line; and mails that share every
// header value but not their text. All carry one Message-ID and the same values: only the bytes
// can tell which are copies (the same text from the first header line to the end, or one a whole
// prefix of the other).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "scan/merge/duplicate_marker.h"
#include "scan/source_position.h"
#include "support/paths.h"

namespace quillon {
namespace {

constexpr std::size_t kCluster = 4096;
constexpr std::uint64_t kBase = 1024 * 1024;  // where the test's bytes lie in the source
constexpr std::size_t kBlockData = 0x200;

enum class Lies {
  Cluster,      // a deleted copy at a cluster start, zeros behind it
  StoreChain,   // a store's mail, read through its block chain
  StoreBlocks,  // a store's blocks met by a find as raw bytes (not known to lie in a chain)
};

struct Placed {
  std::string text;
  Lies lies = Lies::Cluster;
  std::size_t foundAt = 0;  // the index of the line it was found at, in `text`
  // How far the scan followed it, where it did not see its end (0: the scan saw no more).
  std::size_t followedTo = 0;
  bool inside = false;     // the scan took it for a part of another mail
  bool inMailbox = false;  // found behind a mailbox's separator line
};

// A real message: its text, where its body begins and where its From line is.
struct Message {
  std::string text;
  std::size_t bodyStart = 0;
  std::size_t fromLine = 0;
};

// The first corpus message with two header lines or more above its From line and a body of more
// than 2 KiB, small enough for a cluster with the block headers a store puts in it.
std::optional<Message> CorpusMessage() {
  for (const auto& path : test::CorpusMessageFiles()) {
    Message message{test::ReadFileBytes(path)};
    const std::string& text = message.text;
    const std::size_t headerEnd = text.find("\r\n\r\n");
    const std::size_t from = text.find("\r\nFrom: ");
    if (headerEnd == std::string::npos || from == std::string::npos || from > headerEnd ||
        text.find("\r\n") == from || text.size() > 3700 || text.size() - headerEnd < 2300 ||
        text.find('\0') != std::string::npos)
      continue;
    message.bodyStart = headerEnd + 4;
    message.fromLine = from + 2;
    return message;
  }
  return std::nullopt;
}

// `text` with `insert` put in at `at`: a look-alike rewritten there.
std::string Edited(const std::string& text, std::size_t at, const std::string& insert) {
  return text.substr(0, at) + insert + text.substr(at);
}

// `text` with every line ended by CR CR LF, as some exports write mail.
std::string Doubled(const std::string& text) {
  std::string doubled;
  for (const char c : text) {
    if (c == '\n') doubled += '\r';
    doubled += c;
  }
  return doubled;
}

struct CopiesRow {
  const char* name;
  std::function<std::vector<Placed>(const Message&)> copies;  // found in this order
  std::vector<std::int64_t> duplicateOf;                      // expected, per copy
};

void PrintTo(const CopiesRow& row, std::ostream* out) {
  *out << row.name;
}

// Writes `text` as a store's chain of blocks from `at` on (the store beginning at the test
// bytes' first byte); returns the absolute position of its first block header.
std::uint64_t WriteChain(std::string& bytes, std::size_t at, const std::string& text) {
  std::size_t header = at;
  for (std::size_t done = 0; done < text.size(); done += kBlockData) {
    const std::uint32_t used = static_cast<std::uint32_t>(std::min(kBlockData, text.size() - done));
    const std::size_t next = header + 16 + kBlockData;
    const std::uint32_t fields[4] = {
        static_cast<std::uint32_t>(header), kBlockData, used,
        done + used < text.size() ? static_cast<std::uint32_t>(next) : 0u};
    std::memcpy(bytes.data() + header, fields, sizeof fields);
    bytes.replace(header + 16, used, text, done, used);
    header = next;
  }
  return kBase + at;
}

// The test's bytes (from kBase on, zeros around them) and the records of the copies placed there.
struct Scene {
  std::string bytes;
  std::vector<MailRecordPtr> records;
};

void PlaceCopies(const std::vector<Placed>& copies, Scene& scene) {
  std::string& bytes = scene.bytes;
  std::vector<MailRecordPtr>& records = scene.records;
  bytes.assign(kCluster * (copies.size() + 1), '\0');
  for (std::size_t i = 0; i < copies.size(); ++i) records.push_back(std::make_shared<MailRecord>());
  for (std::size_t i = 0; i < copies.size(); ++i) {
    const Placed& copy = copies[i];
    MailExtent extent;
    extent.textStartKnown = true;
    extent.textStart = kBase + i * kCluster + copy.foundAt;
    extent.behindMailboxSeparator = copy.inMailbox;
    if (copy.lies == Lies::Cluster) {
      ASSERT_LE(copy.text.size(), kCluster);
      bytes.replace(i * kCluster, copy.text.size(), copy.text);
    } else {
      const std::uint64_t chain = WriteChain(bytes, i * kCluster, copy.text);
      extent.textStart = chain + 16 + copy.foundAt;
      ASSERT_LT(copy.foundAt, kBlockData);
      extent.inStore = copy.lies == Lies::StoreChain;
      extent.storeBlock = extent.inStore ? chain : 0;
    }
    MailRecord& record = *records[i];
    record.from = "a@x";
    record.to = "b@y";
    record.date = "2020-01-02 03:04:05";
    record.subject = "same";
    record.messageId = "<1@x>";
    const SectorPosition at = SectorPositionOf(extent.textStart);
    record.startSector = at.sector;
    record.sectorOffset = at.offset;
    record.SetExtent(extent);
    if (copy.inside) record.partOf = static_cast<std::int64_t>(copies.size());
    if (copy.followedTo > 0) {
      MailBody body;
      body.closed = true;
      body.followedEnd = kBase + i * kCluster + copy.followedTo;
      record.PublishBody(std::move(body));
    }
  }
}

// A marker reading the scene's source: zeros around the test's bytes.
void ReadScene(const Scene& scene, DuplicateMarker& marker) {
  marker.SetSourceReader([&scene](std::uint64_t offset, std::size_t count, std::uint8_t* out) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint64_t at = offset + i;
      out[i] = at >= kBase && at - kBase < scene.bytes.size() ? scene.bytes[at - kBase] : '\0';
    }
    return true;
  });
}

class DuplicateCopiesTest : public testing::TestWithParam<CopiesRow> {};

TEST_P(DuplicateCopiesTest, MarksCopiesOfTheSameText) {
  const std::optional<Message> message = CorpusMessage();
  if (!message) GTEST_SKIP() << test::CorpusMissingMessage();
  const CopiesRow& row = GetParam();
  Scene scene;
  PlaceCopies(row.copies(*message), scene);
  const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(scene.bytes.data()),
                           scene.bytes.size(), kBase};
  DuplicateMarker marker;
  ReadScene(scene, marker);
  for (std::size_t i = 0; i < scene.records.size(); ++i) {
    marker.Mark(*scene.records[i], i, buffer, scene.records);
    EXPECT_EQ(scene.records[i]->duplicateOf, row.duplicateOf[i]) << "copy " << i;
  }
}

// The same when each copy is marked with bytes in hand that begin at its own cluster and reach
// far past its text: the prints of the copies before it, left to be made when compared, are made
// of their bytes read again from the source, and tell what the bytes in hand told.
TEST_P(DuplicateCopiesTest, MarksCopiesWhoseBytesAreNoLongerInHand) {
  const std::optional<Message> message = CorpusMessage();
  if (!message) GTEST_SKIP() << test::CorpusMissingMessage();
  const CopiesRow& row = GetParam();
  Scene scene;
  PlaceCopies(row.copies(*message), scene);
  std::string reach = scene.bytes;
  reach.resize(reach.size() + kLongestUnendedText + kCarveLookAhead, '\0');
  DuplicateMarker marker;
  ReadScene(scene, marker);
  for (std::size_t i = 0; i < scene.records.size(); ++i) {
    const std::size_t from = i * kCluster;
    const CarveBuffer buffer{reinterpret_cast<const std::uint8_t*>(reach.data()) + from,
                             reach.size() - from, kBase + from};
    marker.Mark(*scene.records[i], i, buffer, scene.records);
    EXPECT_EQ(scene.records[i]->duplicateOf, row.duplicateOf[i]) << "copy " << i;
  }
}

// Where a look-alike is rewritten: behind the first 2 KiB of the body, or just in front of where
// a copy is cut.
std::size_t FarIntoBody(const Message& m) {
  return m.bodyStart + 2100;
}
std::size_t NearTheCut(const Message& m) {
  return m.bodyStart + 5 * 128 + 40;
}
const std::string kInsert = "Sorry, one more thing.\r\n";
// Where a sector ends inside the body (each copy begins at a cluster start).
std::size_t SectorEndInBody(const Message& m) {
  return (m.bodyStart / 512 + 2) * 512;
}
const std::string kOldText = "the file that was here before went on like this\r\n";
// Other mails lying right behind a copy, with no zeros between.
const std::string kNextMail = "Received: from one\r\nFrom: x@y\r\n\r\nnext\r\n";
const std::string kOtherNextMail = "Return-Path: <z@y>\r\nFrom: z@y\r\n\r\nother\r\n";
// A mailbox's separator line, and what may follow it where the next message was overwritten.
const std::string kSeparator = "From x@y Sat Jan  1 00:00:00 2000\r\n";
const std::string kNextInMailbox = "Received: from one\r\nthe rest was overwritten\r\n";
const std::string kOtherNextInMailbox = "Received: from two\r\nby other old bytes\r\n";
// Two mailbox messages with other next messages behind, each found at its first header line
// and followed by the scan only up to `followed` bytes into `text`.
std::vector<Placed> InMailboxes(const std::string& text, const std::string& other,
                                std::size_t followed, bool inMailbox = true) {
  const std::size_t at = kSeparator.size();
  return {{kSeparator + text + "\r\n\r\n" + kSeparator + kNextInMailbox, Lies::Cluster, at,
           at + followed, false, inMailbox},
          {kSeparator + other + "\r\n\r\n" + kSeparator + kOtherNextInMailbox, Lies::Cluster, at,
           at + followed, false, inMailbox}};
}
// A copy the scan took for a part of another mail, with `front` in front of it.
std::vector<Placed> PartBehind(const Message& m, const std::string& front) {
  return {{m.text}, {front + m.text, Lies::Cluster, front.size(), 0, true}};
}
const std::string kMimePartHeader = "--b\r\nContent-Type: message/rfc822\r\n\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, DuplicateCopiesTest,
    testing::Values(
        CopiesRow{"SameBytes",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text}, {m.text}};
                  },
                  {-1, 0}},
        CopiesRow{"CutCopyBehindTheWholeOne",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text}, {m.text.substr(0, m.bodyStart + 900)}};
                  },
                  {-1, 0}},
        CopiesRow{"WholeCopyBehindACutOne",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text.substr(0, m.bodyStart + 300)}, {m.text}};
                  },
                  {-1, 0}},
        CopiesRow{"CutCopyOfTheOriginalBehindALookalike",
                  [](const Message& m) {
                    return std::vector<Placed>{{Edited(m.text, NearTheCut(m), kInsert)},
                                               {m.text.substr(0, NearTheCut(m) + 60)}};
                  },
                  {-1, -1}},
        CopiesRow{"SameHeaderOtherBodyFarIn",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text}, {Edited(m.text, FarIntoBody(m), kInsert)}};
                  },
                  {-1, -1}},
        CopiesRow{"DoubledLineEndsSameBytes",
                  [](const Message& m) {
                    return std::vector<Placed>{{Doubled(m.text)}, {Doubled(m.text)}};
                  },
                  {-1, 0}},
        CopiesRow{"DoubledLineEndsOtherBody",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text},
                                               {Doubled(Edited(m.text, FarIntoBody(m), kInsert))}};
                  },
                  {-1, -1}},
        CopiesRow{"DoubledLineEndsLookalikes",
                  [](const Message& m) {
                    return std::vector<Placed>{{Doubled(m.text)},
                                               {Doubled(Edited(m.text, FarIntoBody(m), kInsert))}};
                  },
                  {-1, -1}},
        CopiesRow{"StoreCopyAndDeletedCopy",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text}, {m.text, Lies::StoreChain}};
                  },
                  {-1, 0}},
        CopiesRow{"StoreCopyOfALookalike",
                  [](const Message& m) {
                    return std::vector<Placed>{{Edited(m.text, FarIntoBody(m), kInsert)},
                                               {m.text, Lies::StoreChain}};
                  },
                  {-1, -1}},
        CopiesRow{"DeletedCopyBehindAStoreCopy",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text, Lies::StoreChain},
                                               {m.text.substr(0, m.bodyStart + 700)}};
                  },
                  {-1, 0}},
        CopiesRow{"StoreBlocksAsRawBytes",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text, Lies::StoreBlocks}, {m.text}};
                  },
                  {-1, 0}},
        CopiesRow{"StoreBlocksOfALookalike",
                  [](const Message& m) {
                    return std::vector<Placed>{{Edited(m.text, FarIntoBody(m), kInsert)},
                                               {m.text, Lies::StoreBlocks}};
                  },
                  {-1, -1}},
        CopiesRow{"RandomBytesBehindEach",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text + "k7\x9c\x01\xff"}, {m.text + "Qz\x03"}};
                  },
                  {-1, 0}},
        CopiesRow{"FoundAtALaterLine",
                  [](const Message& m) {
                    const std::size_t second = m.text.find("\r\n") + 2;
                    return std::vector<Placed>{{m.text}, {m.text, Lies::Cluster, second}};
                  },
                  {-1, 0}},
        CopiesRow{"FoundAtTheFromLineInAStore",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text}, {m.text, Lies::StoreChain, m.fromLine}};
                  },
                  {-1, 0}},
        CopiesRow{"CutAtASectorEndWithOtherTextBehind",
                  [](const Message& m) {
                    const std::string cut = m.text.substr(0, SectorEndInBody(m));
                    return std::vector<Placed>{{cut + kOldText + kOldText}, {m.text}};
                  },
                  {-1, 0}},
        CopiesRow{"WholeCopyFirstThenOneCutAtASectorEnd",
                  [](const Message& m) {
                    const std::string cut = m.text.substr(0, SectorEndInBody(m));
                    return std::vector<Placed>{{m.text}, {cut + kOldText}};
                  },
                  {-1, 0}},
        CopiesRow{"OtherTextBehindInsideASector",
                  [](const Message& m) {
                    const std::string cut = m.text.substr(0, SectorEndInBody(m) - 7);
                    return std::vector<Placed>{{cut + kOldText + kOldText}, {m.text}};
                  },
                  {-1, -1}},
        CopiesRow{"FoundAtTheLineAboveItsFromLine",
                  [](const Message& m) {
                    const std::size_t above = m.text.rfind("\r\n", m.fromLine - 3) + 2;
                    return std::vector<Placed>{{m.text, Lies::Cluster, above}, {m.text}};
                  },
                  {-1, 0}},
        CopiesRow{"BackToBackWithOtherMailsBehind",
                  [](const Message& m) {
                    const std::size_t end = m.text.size();
                    return std::vector<Placed>{{m.text + kNextMail, Lies::Cluster, 0, end},
                                               {m.text + kOtherNextMail, Lies::Cluster, 0, end}};
                  },
                  {-1, 0}},
        CopiesRow{"BackToBackLookalike",
                  [](const Message& m) {
                    const std::string other = Edited(m.text, FarIntoBody(m), kInsert);
                    return std::vector<Placed>{
                        {m.text + kNextMail, Lies::Cluster, 0, m.text.size()},
                        {other + kOtherNextMail, Lies::Cluster, 0, other.size()}};
                  },
                  {-1, -1}},
        CopiesRow{"SentOnAgainFoundAtTheFromLine",
                  [](const Message& m) {
                    std::string other = m.text;
                    other[m.text.find("\r\n") - 1] ^= 0x01;
                    return std::vector<Placed>{{m.text, Lies::Cluster, m.fromLine},
                                               {other, Lies::Cluster, m.fromLine}};
                  },
                  {-1, -1}},
        CopiesRow{"FoundAtTheFromLineBehindOtherBytes",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text, Lies::Cluster, m.fromLine},
                                               {"xq" + m.text, Lies::Cluster, m.fromLine + 2}};
                  },
                  {-1, 0}},
        // A mail glued behind one whose end the scan did not see is taken for a part of it: its
        // bytes still make it a copy, whichever copy comes first.
        CopiesRow{"CopyTakenForAPartOfAnotherMail",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text}, {m.text, Lies::Cluster, 0, 0, true}};
                  },
                  {-1, 0}},
        CopiesRow{"FirstCopyTakenForAPart",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text, Lies::Cluster, 0, 0, true},
                                               {m.text, Lies::StoreChain}};
                  },
                  {-1, 0}},
        CopiesRow{"LookalikeTakenForAPart",
                  [](const Message& m) {
                    return std::vector<Placed>{
                        {m.text},
                        {Edited(m.text, FarIntoBody(m), kInsert), Lies::Cluster, 0, 0, true}};
                  },
                  {-1, -1}},
        CopiesRow{"PartGluedBehindOtherBytes",
                  [](const Message& m) { return PartBehind(m, "k7Q"); },
                  {-1, 0}},
        CopiesRow{"PartBehindAMailboxSeparator",
                  [](const Message& m) { return PartBehind(m, "\r\n\r\n" + kSeparator); },
                  {-1, 0}},
        // A message a MIME part or a forwarding text holds goes with the mail around it.
        CopiesRow{"PartBehindAMimePartHeader",
                  [](const Message& m) { return PartBehind(m, kMimePartHeader); },
                  {-1, -1}},
        CopiesRow{"PartBehindALineOfText",
                  [](const Message& m) { return PartBehind(m, "Begin forwarded message:\r\n"); },
                  {-1, -1}},
        CopiesRow{"PartAttachedWithItsSeparator",
                  [](const Message& m) { return PartBehind(m, kMimePartHeader + kSeparator); },
                  {-1, -1}},
        // Mailbox messages end where the next separator line begins; other mails outside a
        // mailbox may carry a separator line in their body.
        CopiesRow{"MailboxMessagesWithOtherMessagesBehind",
                  [](const Message& m) { return InMailboxes(m.text, m.text, m.bodyStart + 600); },
                  {-1, 0}},
        CopiesRow{
            "SeparatorLinesOutsideAMailbox",
            [](const Message& m) { return InMailboxes(m.text, m.text, m.bodyStart + 600, false); },
            {-1, -1}},
        CopiesRow{"MailboxLookalike",
                  [](const Message& m) {
                    return InMailboxes(m.text, Edited(m.text, FarIntoBody(m), kInsert),
                                       m.bodyStart + 600);
                  },
                  {-1, -1}},
        // The same message attached to two copies of one mail: the mails around them are copies.
        CopiesRow{"PartsOfTwoCopies",
                  [](const Message& m) {
                    return std::vector<Placed>{{m.text, Lies::Cluster, 0, 0, true},
                                               {m.text, Lies::Cluster, 0, 0, true}};
                  },
                  {-1, -1}},
        CopiesRow{"OtherFirstLine",
                  [](const Message& m) {
                    std::string other = m.text;
                    other[m.text.find("\r\n") - 1] ^= 0x01;
                    return std::vector<Placed>{{m.text}, {other}};
                  },
                  {-1, -1}}),
    [](const testing::TestParamInfo<CopiesRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
