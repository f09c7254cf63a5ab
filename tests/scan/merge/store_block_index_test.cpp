#include "scan/merge/store_block_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "scan/mail_reader.h"
#include "source/memory_source.h"
#include "support/paths.h"
#include "support/scan_harness.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

constexpr std::size_t kCluster = 4096;
constexpr std::size_t kBlockData = 512;
constexpr std::size_t kBlock = 16 + kBlockData;
constexpr std::size_t kStoreHeader = 1024;

// A mail as a program keeps its sent copy: the corpus message without its trace lines, so that
// only its store chain leads to it.
std::string SentCopy(std::string_view text) {
  std::string copy;
  bool dropping = false;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
    const std::string_view line = text.substr(at, end - at);
    if (line == "\r\n" || line == "\n") {
      copy.append(text.substr(at));
      break;
    }
    const bool folded = line.front() == ' ' || line.front() == '\t';
    if (!folded) dropping = line.size() >= 9 && (line.substr(0, 9) == "Received:");
    if (!dropping) copy.append(line);
    at = end;
  }
  return copy;
}

bool HasField(std::string_view text, std::string_view name) {
  const std::size_t headerEnd = text.find("\r\n\r\n");
  const std::string_view header = text.substr(0, headerEnd);
  return header.starts_with(name) ||
         header.find(std::string("\r\n") + std::string(name)) != std::string_view::npos;
}

// `count` corpus messages with From, To and Date, CR LF line ends and at most 12 KiB, drawn by
// `seed`; none opens with a line of blanks, which is no part of the mail saved.
std::vector<std::string> StoreMails(std::size_t count, unsigned seed) {
  std::vector<std::string> usable;
  for (const auto& file : test::CorpusMessageFiles()) {
    std::string text = SentCopy(test::ReadFileBytes(file));
    if (text.size() > 12 * 1024 || text.find("\r\n\r\n") == std::string::npos ||
        text.find('\0') != std::string::npos || !HasField(text, "From: ") ||
        !HasField(text, "To: ") || !HasField(text, "Date: ") ||
        text.find_first_not_of(" \t") == text.find("\r\n"))
      continue;
    usable.push_back(std::move(text));
  }
  std::shuffle(usable.begin(), usable.end(), std::mt19937(seed));
  usable.resize(std::min(count, usable.size()));
  return usable;
}

void PutWord(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A block header whose own bytes would read as a line break or a second mark is one no store
// writer leaves where a scan could be misled by it: such slots stay free.
bool SlotIsUsable(std::uint32_t offset) {
  std::string header(8, '\0');
  PutWord(header, 0, offset);
  PutWord(header, 4, 0x200);
  return header.find("\r\n") == std::string::npos &&
         !(header[1] == 2 && header[2] == 0 && header[3] == 0);
}

struct Store {
  std::string bytes;  // a whole number of clusters
  // Per mail, the store offsets of its text's stretches in text order.
  std::vector<std::vector<std::pair<std::size_t, std::size_t>>> texts;
};

// Where a block header is put free space in front of, so that it stands `bytesBefore` bytes
// before the end of its cluster.
struct BlockAtClusterEnd {
  std::size_t mail = SIZE_MAX;
  bool lastBlock = false;  // the mail's last block, else its first
  std::size_t bytesBefore = 0;
};

// The mails in 528-byte blocks, one after the other, behind a store header.
Store BuildStore(const std::vector<std::string>& mails, BlockAtClusterEnd moved = {}) {
  Store store;
  std::string& bytes = store.bytes;
  bytes.assign(kStoreHeader, '\0');
  bytes.replace(0, 4, "\xCF\xAD\x12\xFE", 4);
  std::uint32_t offset = kStoreHeader;
  auto nextSlot = [&] {
    while (!SlotIsUsable(offset)) offset += kBlock;
    const std::uint32_t slot = offset;
    offset += kBlock;
    return slot;
  };
  for (std::size_t m = 0; m < mails.size(); ++m) {
    const std::string& mail = mails[m];
    const std::size_t blocks = (mail.size() + kBlockData - 1) / kBlockData;
    if (m == moved.mail) {
      const std::size_t before = moved.lastBlock ? (blocks - 1) * kBlock : 0;
      while ((offset + before) % kCluster != kCluster - moved.bytesBefore) offset += 4;
    }
    std::vector<std::uint32_t> slots;
    for (std::size_t i = 0; i < blocks; ++i) slots.push_back(nextSlot());
    store.texts.emplace_back();
    for (std::size_t i = 0; i < blocks; ++i) {
      const std::string_view data = std::string_view(mail).substr(i * kBlockData, kBlockData);
      if (bytes.size() < slots[i] + kBlock) bytes.resize(slots[i] + kBlock, '\0');
      PutWord(bytes, slots[i], slots[i]);
      PutWord(bytes, slots[i] + 4, 0x200);
      PutWord(bytes, slots[i] + 8, static_cast<std::uint32_t>(data.size()));
      PutWord(bytes, slots[i] + 12, i + 1 < blocks ? slots[i + 1] : 0);
      bytes.replace(slots[i] + 16, data.size(), data);
      store.texts.back().emplace_back(slots[i] + 16, data.size());
    }
  }
  bytes.resize((bytes.size() + kCluster - 1) / kCluster * kCluster, '\0');
  return store;
}

// A cluster of plain text lines that holds no store header and no header field.
// `lengthFirst` draws each word's length before its letter: other noise, where other clusters
// land side by side by chance.
std::string NoiseCluster(std::mt19937& random, bool lengthFirst = false) {
  std::string noise;
  while (noise.size() < kCluster) {
    const std::size_t words = 4 + random() % 8;
    for (std::size_t w = 0; w < words; ++w) {
      // Drawn one after the other: as two arguments of one call their order would be the
      // compiler's, and the image would differ between compilers.
      std::size_t length = lengthFirst ? 1 + random() % 7 : 0;
      const auto letter = static_cast<char>('a' + random() % 26);
      if (!lengthFirst) length = 1 + random() % 7;
      noise += std::string(length, letter) + ' ';
    }
    noise += "\r\n";
  }
  noise.resize(kCluster);
  return noise;
}

enum class Order { InOrder, Shuffled, Reversed };

struct ScatteredRow {
  const char* name;
  unsigned seed;
  Order order;
  int noiseBetween;  // most noise clusters between two store clusters
  int stores;        // each in a half of the disk of its own, with equal offsets
  bool dropCluster;  // one cluster of the first store is overwritten by noise
  // The first store's last mail ends in the store's last cluster, which holds no block header:
  // nothing tells where that cluster lies.
  bool lastClusterHeaderless = false;
  // The first store opens with a mail whose first block stands 96 bytes before a cluster's end,
  // so that the next cluster (elsewhere) begins with a header line of that mail.
  bool headerAcrossCluster = false;
  // With lastClusterHeaderless: the last mail fills its blocks, so that no zero padding behind
  // its text tells its last cluster from clusters of other text.
  bool lastBlockFull = false;
  // The first store's last cluster holds old text behind the store's end, not zeros.
  bool tailOfOldText = false;
  bool noiseLengthFirst = false;  // NoiseCluster's other noise
  // With lastClusterHeaderless: the last mail is one block long and its header stands 80 bytes
  // before its cluster's end: the 64 bytes of it there hold no header block.
  bool shortLastMail = false;
};

// A mail that fits one block.
std::string OneBlockMail() {
  return "From: Cy <cy@example.com>\r\nTo: Di <di@example.com>\r\n"
         "Subject: a mail in one block\r\nDate: Sat, 20 May 2000 10:00:00 -0400\r\n"
         "Message-ID: <one.block@example.com>\r\n\r\n"
         "A short body, line one.\r\nAnd line two of it.\r\n";
}

// Lines added to the end of `mail` so that it fills its last block.
void FillLastBlock(std::string& mail) {
  std::size_t missing = (kBlockData - mail.size() % kBlockData) % kBlockData;
  if (missing == 0) return;
  if (missing < 3) missing += kBlockData;
  mail += std::string(missing - 2, 'x') + "\r\n";
}

// A mail of header lines only up to its body, whose line at byte 80 looks like a mail's first.
std::string MailSplitAt80() {
  std::string mail = "Message-ID: <scattered.split@example.com>\r\nX-Mailer: Store Writer 6.00\r\n";
  mail.resize(78, 'x');
  mail +=
      "\r\nSubject: a header line that a cluster start cuts away from its first lines\r\n"
      "Date: Fri, 19 May 2000 00:39:36 -0400\r\nTo: Ann <ann@example.com>\r\n"
      "From: Bob <bob@example.com>\r\nMIME-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=us-ascii\r\n\r\n";
  for (int line = 0; line < 40; ++line)
    mail += "A body line of the split mail, line after line.\r\n";
  return mail;
}

// A disk holding the stores' clusters in the row's order among noise, and every mail's bytes.
struct Disk {
  std::string image;
  std::vector<std::string> mails;
  std::vector<std::size_t> starts;  // where each mail's first byte lies in the image
  std::set<std::size_t> cutMails;   // mails whose text lost a cluster
  // Mails whose text runs into a cluster no header places and that nothing else tells from
  // clusters of other text, with the bytes of them before it.
  std::map<std::size_t, std::size_t> lostMails;
};

Disk BuildDisk(const ScatteredRow& row) {
  std::mt19937 random(row.seed);
  Disk disk;
  std::string& image = disk.image;
  image = NoiseCluster(random, row.noiseLengthFirst);
  for (int s = 0; s < row.stores; ++s) {
    std::vector<std::string> mails = StoreMails(10, row.seed * 7 + s);
    BlockAtClusterEnd moved;
    if (s == 0 && row.headerAcrossCluster) {
      mails.insert(mails.begin(), MailSplitAt80());
      moved = {0, false, 96};
    }
    if (s == 0 && row.lastClusterHeaderless) {
      if (row.lastBlockFull) FillLastBlock(mails.back());
      if (row.shortLastMail) mails.back() = OneBlockMail();
      moved = {mails.size() - 1, true, row.shortLastMail ? 80u : 64u};
    }
    Store store = BuildStore(mails, moved);
    std::size_t storeEnd = 0;
    for (const auto& text : store.texts) {
      for (const auto& piece : text) storeEnd = std::max(storeEnd, piece.first - 16 + kBlock);
    }
    if (s == 0 && row.tailOfOldText)
      store.bytes.replace(
          storeEnd, store.bytes.size() - storeEnd,
          NoiseCluster(random, row.noiseLengthFirst).substr(0, store.bytes.size() - storeEnd));
    const std::size_t clusters = store.bytes.size() / kCluster;
    std::vector<std::size_t> order(clusters);
    for (std::size_t i = 0; i < clusters; ++i) order[i] = i;
    if (row.order == Order::Shuffled) std::shuffle(order.begin(), order.end(), random);
    if (row.order == Order::Reversed) std::reverse(order.begin(), order.end());
    const std::size_t dropped = row.dropCluster && s == 0 ? clusters / 2 : clusters;
    std::vector<std::size_t> placedAt(clusters);
    for (const std::size_t cluster : order) {
      const int gap =
          row.noiseBetween > 0 ? static_cast<int>(random() % (row.noiseBetween + 1)) : 0;
      for (int g = 0; g < gap; ++g) image += NoiseCluster(random, row.noiseLengthFirst);
      placedAt[cluster] = image.size();
      image += cluster == dropped ? NoiseCluster(random, row.noiseLengthFirst)
                                  : store.bytes.substr(cluster * kCluster, kCluster);
    }
    // The last cluster holds no block header when the store's last block began before it.
    const std::size_t last = clusters - 1;
    const bool lastPlaced = placedAt[last] == placedAt[last - 1] + kCluster;
    bool lastHeaderless = true;
    for (const auto& text : store.texts) {
      for (const auto& piece : text)
        if ((piece.first - 16) / kCluster == last) lastHeaderless = false;
    }
    for (std::size_t m = 0; m < mails.size(); ++m) {
      const std::size_t first = store.texts[m].front().first;
      disk.starts.push_back(placedAt[first / kCluster] + first % kCluster);
      std::size_t sure = 0;
      for (const auto& [offset, length] : store.texts[m]) {
        if (offset / kCluster == dropped || (offset + length - 1) / kCluster == dropped)
          disk.cutMails.insert(disk.mails.size() + m);
        // A block that does not fill its data area tells its last cluster by the zeros behind
        // its text there, a full one by the zeros behind the store's end, and a line end the
        // cluster's start cuts in two by the line feed it opens with; else the cluster is one
        // of many of plain text.
        const std::size_t before = sure + (last * kCluster - offset);
        if (lastHeaderless && !lastPlaced && (offset + length - 1) / kCluster == last &&
            length == kBlockData && row.tailOfOldText && mails[m][before - 1] != '\r') {
          disk.lostMails[disk.mails.size() + m] = before;
          break;
        }
        sure += length;
      }
    }
    disk.mails.insert(disk.mails.end(), mails.begin(), mails.end());
    for (int n = 0; n < (s + 1 < row.stores ? 96 : 1); ++n)
      image += NoiseCluster(random, row.noiseLengthFirst);
  }
  image += std::string(64 * 1024, '\0');
  return disk;
}

class ScatteredStore : public ::testing::TestWithParam<ScatteredRow> {};

TEST_P(ScatteredStore, EveryMailComesBackByteExactOnce) {
  if (!test::CorpusMessagesDir()) GTEST_SKIP() << test::CorpusMissingMessage();
  const Disk disk = BuildDisk(GetParam());
  ASSERT_GE(disk.mails.size(), 10u) << "too few usable corpus messages";

  const test::ScanOutcome outcome = test::ScanBytes(disk.image);
  DataSource source;
  source.OpenBackend(
      MakeMemoryBackend(std::vector<std::uint8_t>(disk.image.begin(), disk.image.end())),
      "memory.img");
  std::map<std::string, int> savedTimes;
  std::map<std::string, std::uint64_t> savedAt;
  int storeRecords = 0;
  std::vector<std::pair<std::string, bool>> storeTexts;  // with whether the record is damaged
  for (const MailRecordPtr& record : outcome.records) {
    std::string text;
    ASSERT_TRUE(ReadMailText(*record, &source, text, nullptr));
    ++savedTimes[text];
    savedAt[text] = record->StartByte();
    if (record->Extent().inStore) {
      ++storeRecords;
      storeTexts.emplace_back(text, record->damaged.load());
    }
  }
  int expectedRecords = 0;
  for (std::size_t m = 0; m < disk.mails.size(); ++m) {
    const std::string& mail = disk.mails[m];
    const std::string first = mail.substr(0, mail.find("\r\n"));
    if (disk.cutMails.contains(m)) {
      // Its lost cluster cannot be had, but nothing of another mail stands for it.
      EXPECT_EQ(savedTimes.count(mail), 0u) << "mail " << m << " (" << first << ")";
      continue;
    }
    if (const auto lost = disk.lostMails.find(m); lost != disk.lostMails.end()) {
      // What is sure of it comes back, marked damaged, where its header block is sure; nothing
      // else stands in its place (below).
      const std::string sure = mail.substr(0, lost->second);
      const auto kept = std::find_if(storeTexts.begin(), storeTexts.end(),
                                     [&](const auto& t) { return t.first == sure; });
      if (sure.find("\r\n\r\n") != std::string::npos) {
        EXPECT_TRUE(kept != storeTexts.end() && kept->second)
            << "mail " << m << " (" << first << "): no damaged record of its sure part";
        ++expectedRecords;
      }
      continue;
    }
    ++expectedRecords;
    // Two stores may keep the same message: once for each.
    const auto copies = std::count(disk.mails.begin(), disk.mails.end(), mail);
    EXPECT_EQ(savedTimes[mail], copies)
        << "mail " << m << " (" << first << ") of " << disk.mails.size();
    // Found where its first line lies, not where some later piece of its header block does.
    if (savedTimes[mail] == 1 && copies == 1) {
      EXPECT_EQ(savedAt[mail], disk.starts[m]) << "mail " << m;
    }
  }
  // A store record's text is a store mail's or the sure part of one, never another file's bytes.
  for (const auto& stored : storeTexts) {
    const std::string& text = stored.first;
    const bool damaged = stored.second;
    const bool ofAMail = std::any_of(disk.mails.begin(), disk.mails.end(), [&](const auto& mail) {
      return mail == text || (damaged && mail.starts_with(text));
    });
    EXPECT_TRUE(ofAMail) << "a store record reads " << text.substr(0, 60);
  }
  // One record per store mail: no block that continues a mail opens another.
  if (GetParam().dropCluster)
    EXPECT_LE(storeRecords, static_cast<int>(disk.mails.size()));
  else
    EXPECT_EQ(storeRecords, expectedRecords);
}

INSTANTIATE_TEST_SUITE_P(
    StoreBlockIndex, ScatteredStore,
    ::testing::Values(ScatteredRow{"InOrderBetweenNoise", 11, Order::InOrder, 2, 1, false},
                      ScatteredRow{"ShuffledSeed1", 1, Order::Shuffled, 1, 1, false},
                      ScatteredRow{"ShuffledSeed2", 2, Order::Shuffled, 3, 1, false},
                      ScatteredRow{"ShuffledSideBySide", 3, Order::Shuffled, 0, 1, false},
                      ScatteredRow{"ReversedBeforeTheirOffsets", 4, Order::Reversed, 1, 1, false},
                      ScatteredRow{"TwoStoresFarApart", 5, Order::Shuffled, 1, 2, false},
                      ScatteredRow{"AClusterOverwritten", 6, Order::Shuffled, 1, 1, true},
                      ScatteredRow{"LastClusterShowsNoHeader", 7, Order::Shuffled, 1, 1, false,
                                   true, false},
                      ScatteredRow{"LastClusterShowsNoHeaderSeed2", 20, Order::Reversed, 2, 1,
                                   false, true, false},
                      ScatteredRow{"LastClusterShowsNoHeaderFullBlock", 7, Order::Shuffled, 1, 1,
                                   false, true, false, true},
                      ScatteredRow{"LastClusterShowsNoHeaderFullBlockSeed2", 20, Order::Reversed, 2,
                                   1, false, true, false, true},
                      ScatteredRow{"LastClusterShowsNoHeaderFullBlockOldTail", 20, Order::Reversed,
                                   2, 1, false, true, false, true, true},
                      ScatteredRow{"LastClusterShowsNoHeaderOtherNoise", 7, Order::Shuffled, 1, 1,
                                   false, true, false, false, false, true},
                      ScatteredRow{"LastClusterShowsNoHeaderFullBlockOtherNoise", 7,
                                   Order::Shuffled, 1, 1, false, true, false, true, false, true},
                      ScatteredRow{"LastClusterHoldsAOneBlockMailsHeader", 7, Order::Shuffled, 1, 1,
                                   false, true, false, false, false, false, true},
                      ScatteredRow{"HeaderBlockRunsIntoAClusterElsewhere", 9, Order::Shuffled, 1, 1,
                                   false, false, true},
                      ScatteredRow{"HeaderBlockRunsIntoAnEarlierCluster", 21, Order::Reversed, 0, 1,
                                   false, false, true}),
    RowName{});

}  // namespace
}  // namespace quillon
