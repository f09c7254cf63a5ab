// Scans and re-reads of a source with sectors that cannot be read: only those sectors are lost,
// a mail that holds one is found, followed past it, marked damaged and read back whole with
// zeros there, and a dead region costs about one read per sector. Each row runs in both modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "scan/mail_reader.h"
#include "scan/reread/mail_extent_reader.h"
#include "source/memory_source.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::SampleMail;

constexpr std::uint64_t kSector = 512;

// Body lines numbered so that a lost or doubled stretch shows.
std::string NumberedLines(int first, int count) {
  std::string text;
  for (int i = first; i < first + count; ++i)
    text += "Line " + std::to_string(1000 + i) + " of a body that runs on and on\r\n";
  return text;
}

std::string MultipartMail(std::string_view subject, std::size_t attachmentLines) {
  std::string base64;
  for (std::size_t i = 0; i < attachmentLines; ++i)
    base64 += "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlqa2xtbm9wcXJzdHV2d3h5ejAx\n";
  return CrLf(
      "Received: from a.example.org by b.example.org; Mon, 9 Mar 2009 10:11:12 +0800\n"
      "Received: from c.example.org by a.example.org; Mon, 9 Mar 2009 10:11:10 +0800\n"
      "From: Carol <carol@example.org>\n"
      "To: Dave <dave@example.com>\n"
      "Subject: " +
      std::string(subject) +
      "\n"
      "Date: Tue, 10 Mar 2009 11:00:00 +0000\n"
      "MIME-Version: 1.0\n"
      "Content-Type: multipart/mixed; boundary=\"sep\"\n"
      "\n"
      "--sep\n"
      "Content-Type: text/plain\n"
      "\n"
      "See the file.\n"
      "--sep\n"
      "Content-Type: application/octet-stream; name=\"data.bin\"\n"
      "Content-Transfer-Encoding: base64\n"
      "Content-Disposition: attachment; filename=\"data.bin\"\n"
      "\n" +
      base64 + "--sep--\n");
}

// A layout: mail A (the one the bad sectors touch, or not), then mail B.
struct Layout {
  ImageBuilder image;
  std::uint64_t aStart = 0;
  std::uint64_t aEnd = 0;
  std::set<std::uint64_t> failing;
};

struct FailingRow {
  const char* name;
  std::function<Layout()> build;
  bool aDamaged;
  std::string aLastWords;  // what A's body text or its re-read text must still hold
};

std::set<std::uint64_t> Sectors(std::uint64_t first, std::uint64_t count) {
  std::set<std::uint64_t> sectors;
  for (std::uint64_t s = first; s < first + count; ++s) sectors.insert(s);
  return sectors;
}

Layout PlainAround(std::uint64_t aSector, int lines, std::set<std::uint64_t> failing,
                   std::uint64_t gapSectors = 4) {
  Layout layout;
  const std::string a = "\r\n" + SampleMail("Mail A", NumberedLines(0, lines));
  layout.aStart = aSector * kSector + 100;
  layout.aEnd = layout.aStart + a.size();
  layout.image.Put(layout.aStart, a);
  const std::uint64_t bStart = (layout.aEnd / kSector + gapSectors) * kSector + 100;
  layout.image.Put(bStart, "\r\n" + SampleMail("Mail B")).Resize(bStart + 64 * kSector);
  layout.aStart += 2;
  layout.failing = std::move(failing);
  return layout;
}

const FailingRow kRows[] = {
    {"InBody", [] { return PlainAround(100, 80, {103}); }, true, "Line 1079"},
    {"RunAcrossChunkBoundary", [] { return PlainAround(2040, 200, Sectors(2046, 5)); }, true,
     "Line 1199"},
    {"DeadRegionOverChunks", [] { return PlainAround(1000, 60'000, Sectors(1100, 4000)); }, true,
     "Line 60999"},
    {"RightBehindTheMail",
     [] {
       // A ends exactly at a sector end; the next sector cannot be read, zeros follow.
       Layout layout;
       std::string a = "\r\n" + SampleMail("Mail A", NumberedLines(0, 20));
       a.insert(a.size() - 2, std::string((kSector - a.size() % kSector) % kSector, 'x'));
       layout.aStart = 300 * kSector;
       layout.aEnd = layout.aStart + a.size();
       layout.image.Put(layout.aStart, a);
       layout.image.Put(layout.aEnd + 10 * kSector, "\r\n" + SampleMail("Mail B"));
       layout.image.Resize(layout.aEnd + 80 * kSector);
       layout.aStart += 2;
       layout.failing = {layout.aEnd / kSector};
       return layout;
     },
     true, "Line 1019"},
    {"InTheSlackBetweenMails", [] { return PlainAround(100, 20, {106}, 8); }, false, "Line 1019"},
    {"InAnAttachment",
     [] {
       Layout layout;
       const std::string a = "\r\n" + MultipartMail("Mail A", 100);
       layout.aStart = 500 * kSector + 40;
       layout.aEnd = layout.aStart + a.size();
       layout.image.Put(layout.aStart, a);
       const std::uint64_t bStart = (layout.aEnd / kSector + 3) * kSector;
       layout.image.Put(bStart, "\r\n" + SampleMail("Mail B")).Resize(bStart + 64 * kSector);
       layout.aStart += 2;
       layout.failing = {505, 506};
       return layout;
     },
     true, "--sep--"},
    {"InTheHeaderBlockBehindItsValues",
     [] {
       std::string pad;
       for (int i = 0; i < 40; ++i) pad += "X-Pad-" + std::to_string(i) + ": padding padding\r\n";
       std::string a = "\r\n" + SampleMail("Mail A", NumberedLines(0, 10));
       a.insert(a.find("\r\n\r\n") + 2, pad);
       Layout layout;
       layout.aStart = 700 * kSector;
       layout.aEnd = layout.aStart + a.size();
       layout.image.Put(layout.aStart, a);
       const std::uint64_t bStart = (layout.aEnd / kSector + 3) * kSector;
       layout.image.Put(bStart, "\r\n" + SampleMail("Mail B")).Resize(bStart + 64 * kSector);
       layout.aStart += 2;
       layout.failing = {701};
       return layout;
     },
     true, "Line 1009"},
};

struct ModeRow {
  FailingRow row;
  bool strict;
};

void PrintTo(const ModeRow& row, std::ostream* out) {
  *out << row.row.name << (row.strict ? " (strict)" : "");
}

class FailingMediaTest : public testing::TestWithParam<ModeRow> {};

const MailRecord* FindSubject(const std::vector<MailRecordPtr>& records, std::u16string_view s) {
  for (const MailRecordPtr& record : records)
    if (record->SubjectText() == s && record->partOf < 0) return record.get();
  return nullptr;
}

TEST_P(FailingMediaTest, MailsAroundBadSectorsAreFoundFollowedAndReadBackWhole) {
  const FailingRow& row = GetParam().row;
  Layout layout = row.build();
  ScanOptions options;
  options.strict = GetParam().strict;
  const test::ScanOutcome outcome = test::ScanBytes(layout.image.Bytes(), options, layout.failing);

  std::vector<SectorRange> expected;
  for (std::uint64_t sector : layout.failing) AppendSectorRange(expected, sector, 1);
  EXPECT_EQ(outcome.unreadable, expected);
  EXPECT_EQ(outcome.reported, expected);

  const MailRecord* a = FindSubject(outcome.records, u"Mail A");
  const MailRecord* b = FindSubject(outcome.records, u"Mail B");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->damaged.load(), row.aDamaged);
  EXPECT_FALSE(b->damaged.load());
  // The scan followed A up to its end, across what could not be read.
  EXPECT_GE(a->Body().followedEnd, layout.aEnd - 2);
  EXPECT_LT(a->Body().followedEnd, b->StartByte());

  // Read back: the whole mail, zeros exactly where the sectors could not be read.
  DataSource source;
  std::vector<std::uint8_t> bytes(layout.image.Bytes().begin(), layout.image.Bytes().end());
  source.OpenBackend(MakeMemoryBackend(bytes, layout.failing), "memory.img");
  std::string text;
  ASSERT_TRUE(ReadMailText(*a, &source, text, nullptr));
  std::string whole = layout.image.Bytes().substr(layout.aStart, layout.aEnd - layout.aStart);
  for (std::uint64_t sector : layout.failing) {
    for (std::uint64_t at = sector * kSector; at < (sector + 1) * kSector; ++at)
      if (at >= layout.aStart && at < layout.aEnd) whole[at - layout.aStart] = '\0';
  }
  ASSERT_GE(text.size(), 200u);
  ASSERT_LE(text.size(), whole.size() + 2 * kSector);
  // The saved text is the mail from its first (strict: its recorded) line on, and may carry
  // the zeros of a bad sector right behind it.
  const std::size_t found = whole.find(text.substr(0, 100));
  ASSERT_NE(found, std::string::npos);
  const std::string saved = text.substr(0, std::min(text.size(), whole.size() - found));
  EXPECT_EQ(saved, whole.substr(found)) << "saved " << text.size() << " of " << whole.size();
  EXPECT_NE(text.find(row.aLastWords), std::string::npos);
  EXPECT_EQ(text.find_first_not_of('\0', whole.size() - found), std::string::npos)
      << "nothing but zeros of unread bytes behind the mail";

  // The preview shows blanks where the save has zeros, and the text behind them.
  if (mail_reader::HasKnownExtent(*a)) {
    std::string preview;
    mail_reader::ReadKnownExtent(*a, source, preview, nullptr, false);
    EXPECT_EQ(preview.size(), text.size());
    EXPECT_EQ(preview.find('\0'), std::string::npos);
  }
}

std::vector<ModeRow> AllModeRows() {
  std::vector<ModeRow> rows;
  for (bool strict : {false, true})
    for (const FailingRow& row : kRows) rows.push_back({row, strict});
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Rows, FailingMediaTest, testing::ValuesIn(AllModeRows()),
                         [](const testing::TestParamInfo<ModeRow>& param) {
                           return std::string(param.param.row.name) +
                                  (param.param.strict ? "_Strict" : "_Default");
                         });

// A dead region of 100,000 sectors costs the scan about one read per sector, and the mails on
// either side of it are found.
class DeadRegionCostTest : public testing::TestWithParam<bool> {};

TEST_P(DeadRegionCostTest, CostsAboutOneReadPerSector) {
  constexpr std::uint64_t kDeadFirst = 5000;
  constexpr std::uint64_t kDead = 100'000;
  constexpr std::uint64_t kSectors = kDeadFirst + kDead + 5000;
  ImageBuilder image;
  image.Put(1000 * kSector, "\r\n" + SampleMail("Before"))
      .Put((kDeadFirst + kDead + 1000) * kSector, "\r\n" + SampleMail("After"))
      .Resize(kSectors * kSector);
  ScanOptions options;
  options.strict = GetParam();
  const test::ScanOutcome clean = test::ScanBytes(image.Bytes(), options);
  const test::ScanOutcome outcome =
      test::ScanBytes(image.Bytes(), options, Sectors(kDeadFirst, kDead));
  EXPECT_EQ(outcome.unreadable, (std::vector<SectorRange>{{kDeadFirst, kDead}}));
  ASSERT_EQ(outcome.records.size(), 2u);
  EXPECT_LE(outcome.readCalls, clean.readCalls + kDead + 50)
      << "clean scan " << clean.readCalls << " reads";
}

INSTANTIATE_TEST_SUITE_P(Modes, DeadRegionCostTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& param) {
                           return param.param ? "Strict" : "Default";
                         });

}  // namespace
}  // namespace quillon
