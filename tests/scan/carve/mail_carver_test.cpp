// The walk's rules, end to end over images held in memory.
#include "scan/carve/mail_carver.h"

#include <gtest/gtest.h>

#include <random>

#include "scan/find/byte_patterns.h"
#include "scan/find/line_break_map.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::SampleMail;
using test::SampleMailTraceOffset;
using test::ScanBytes;

std::uint64_t Position(const MailRecordPtr& record) {
  return record->StartByte();
}

// The trace-line rule alone, as --strict runs it.
ScanOptions Strict() {
  ScanOptions options;
  options.strict = true;
  return options;
}

TEST(MailCarverTest, FindsAMailAtItsLastTraceLineThatFollowsAText) {
  ImageBuilder image;
  image.Put(4096, SampleMail("Hello"));
  auto outcome = ScanBytes(image.Resize(16384).Bytes());
  ASSERT_EQ(outcome.records.size(), 1u);
  EXPECT_EQ(Position(outcome.records[0]), 4096 + SampleMailTraceOffset());
  EXPECT_EQ(outcome.records[0]->SubjectText(), u"Hello");
  EXPECT_EQ(outcome.records[0]->date, "2009-03-09 10:11:12");
  EXPECT_EQ(outcome.records[0]->SourceName(), "memory.img");
}

TEST(MailCarverTest, TraceNameRules) {
  const std::string rest = CrLf("From: a@x\nTo: b@x\nDate: 1 Jan 2001 00:00:00\n\nbody\n");
  struct Row {
    const char* name;
    std::string bytes;
    std::size_t found;
  } rows[] = {
      {"LowerCase", "x\r\nreceived: by y\r\n" + rest, 1},
      {"NoBlank", "x\r\nReceived:by y\r\n" + rest, 0},
      {"AtSourceStart", "Received: by y\r\n" + rest, 0},
      // The walk resumes on the second CR of CR LF CR LF and never sees the line behind it.
      {"BehindEmptyLine", "x\r\n\r\nReceived: by y\r\n" + rest, 0},
      {"BehindText", "x\r\nReceived: by y\r\n" + rest, 1},
  };
  for (const Row& row : rows) {
    ImageBuilder image;
    image.Put(1000, row.bytes).Resize(8192);
    EXPECT_EQ(ScanBytes(image.Bytes(), Strict()).records.size(), row.found) << row.name;
  }
}

// The header block must be complete within 8 sectors after the sector of its trace line.
TEST(MailCarverTest, HeaderGapOf8Sectors) {
  for (int gapSectors : {7, 8, 9}) {
    std::string mail = "x\r\nReceived: by y\r\nFrom: a@x\r\nTo: b@x\r\n";
    // The trace line starts at byte 3 of sector 0; the Date line lands in sector gapSectors.
    const std::size_t dateAt = static_cast<std::size_t>(gapSectors) * 512 + 10;
    std::string filler = "X-Filler: ";
    while (mail.size() + filler.size() + 2 < dateAt) {
      const std::size_t take = std::min<std::size_t>(200, dateAt - mail.size() - 2 - filler.size());
      mail += filler + std::string(take, 'f') + "\r\n";
    }
    mail.resize(dateAt - 2, 'f');
    mail += "\r\nDate: 1 Jan 2001 00:00:00\r\n\r\nbody\r\n";
    ImageBuilder image;
    image.Put(0, mail).Resize(16384);
    EXPECT_EQ(ScanBytes(image.Bytes(), Strict()).records.size(), gapSectors <= 8 ? 1u : 0u)
        << gapSectors;
  }
}

TEST(MailCarverTest, EveryTraceLineRestartsThePendingMail) {
  ImageBuilder image;
  image.Put(512, SampleMail());
  auto outcome = ScanBytes(image.Resize(8192).Bytes());
  ASSERT_EQ(outcome.records.size(), 1u);
  EXPECT_EQ(Position(outcome.records[0]), 512 + SampleMailTraceOffset());
}

std::string BlockHeader() {
  return std::string("\x00\x10\x00\x00\x00\x02\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00", 16);
}

// A block header up to 192 bytes behind a line start is removed and the line reads on.
TEST(MailCarverTest, BlockHeaderNearALineStartIsRemoved) {
  for (std::size_t distance : {100u, 200u}) {
    std::string mail =
        "x\r\nReceived: by y\r\nFrom: a@x\r\nTo: b@x\r\nSubject: " + std::string(distance - 9, 's');
    const std::size_t subjectLine = mail.find("Subject: ");
    mail.resize(subjectLine + distance);
    mail += BlockHeader() + "tail\r\nDate: 1 Jan 2001 00:00:00\r\n\r\nbody\r\n";
    ImageBuilder image;
    // Keep the header 4-aligned in the image.
    const std::size_t base = 1024 - (subjectLine % 4);
    image.Put(base, mail).Resize(8192);
    auto outcome = ScanBytes(image.Bytes(), Strict());
    ASSERT_EQ(outcome.records.size(), 1u) << distance;
    const std::string_view subject = outcome.records[0]->subject;
    if (distance == 100)
      EXPECT_EQ(subject, std::string(91, 's') + "tail");
    else
      EXPECT_EQ(subject, std::string(191, 's')) << "a far header stays and its NUL ends the value";
  }
}

// A trace line that stands between a line which steps over a store block header and that header
// is reported where it stands in the source, across a sector and a chunk boundary too.
TEST(MailCarverTest, TraceLineInFrontOfABlockHeaderKeepsItsPosition) {
  const std::string head = "x\r\nReceived: by a\r\nX-Mailer: m\r\n";
  const std::string trace = "Received: by b\r\n";
  const std::string tail =
      "From: a@x\r\nTo: b@x\r\nDate: 1 Jan 2001 00:00:00\r\nSubject: s\r\n\r\nbody\r\n";
  struct Row {
    const char* name;
    std::uint64_t header;  // 4-aligned, as a store's blocks are
  } rows[] = {{"InOneSector", 1072}, {"AcrossASector", 4100}, {"AcrossAChunk", (1u << 20) + 4}};
  for (const Row& row : rows) {
    for (const bool strict : {true, false}) {
      const std::uint64_t start = row.header - head.size() - trace.size();
      ImageBuilder image;
      image.Put(start, head + trace + BlockHeader() + tail).Resize(3 << 20);
      ScanOptions options;
      options.strict = strict;
      auto outcome = ScanBytes(image.Bytes(), options);
      // (Without --strict the header block behind the block header is a find of its own too.)
      ASSERT_GE(outcome.records.size(), 1u) << row.name;
      EXPECT_EQ(Position(outcome.records[0]), start + head.size()) << row.name << strict;
      EXPECT_EQ(outcome.records[0]->to, "b@x") << row.name << strict;
      EXPECT_EQ(outcome.records[0]->subject, "s") << row.name << strict;
    }
  }
}

// A mail whose header block is cut by a chunk boundary is found once, exactly where it is.
TEST(MailCarverTest, HeaderBlockAcrossAChunkBoundary) {
  const std::uint64_t boundary = 1 << 20;
  for (std::uint64_t before : {3u, 40u, 120u, 200u, 600u}) {
    ImageBuilder image;
    const std::string mail = "noise\r\n" + SampleMail("Across");
    const std::uint64_t trace = boundary - before;
    const std::uint64_t start = trace - 7 - SampleMailTraceOffset();
    image.Put(start, mail).Resize(3 << 20);
    auto outcome = ScanBytes(image.Bytes());
    ASSERT_EQ(outcome.records.size(), 1u) << before;
    EXPECT_EQ(Position(outcome.records[0]), trace) << before;
    EXPECT_EQ(outcome.records[0]->SubjectText(), u"Across");
  }
}

// Every position moves by exactly the shift, across a sector and a chunk boundary.
TEST(MailCarverTest, ShiftMovesEveryPositionByTheShift) {
  auto build = [](std::uint64_t shift) {
    ImageBuilder image;
    for (int i = 0; i < 6; ++i)
      image.Put(shift + 300000 * i + 17, SampleMail("Mail " + std::to_string(i)));
    return image.Resize(shift + 2'000'000).Bytes();
  };
  const auto plain = ScanBytes(build(0)).records;
  const std::uint64_t shift = (1 << 20) - 517;
  const auto shifted = ScanBytes(build(shift)).records;
  ASSERT_EQ(plain.size(), 6u);
  ASSERT_EQ(shifted.size(), plain.size());
  for (std::size_t i = 0; i < plain.size(); ++i) {
    EXPECT_EQ(Position(shifted[i]), Position(plain[i]) + shift);
    EXPECT_EQ(shifted[i]->SubjectText(), plain[i]->SubjectText());
  }
}

// What the walk finds with a map of the sectors that may hold line breaks is what it finds
// without one: in random bytes, and where the walk steps over a block header that stands
// between a line break and the trace line behind it.
TEST(MailCarverTest, WalkWithALineBreakMapFindsTheSame) {
  struct Collector : MailSink {
    std::vector<MailRecordPtr> records;
    void Accept(const MailRecordPtr& record) override { records.push_back(record); }
  };
  auto walk = [](std::vector<std::uint8_t> bytes, bool withMap) {
    const std::size_t size = bytes.size();
    bytes.resize(size + kCarveLookAhead, 0);
    LineBreakMap map(0, size);
    std::vector<std::uint64_t> anchors, sizeFields;
    // As the reader's pieces give them, whose vector steps never cross a sector's end.
    FindMarkPositions(bytes.data(), 0, 64, 0, anchors, sizeFields, map.Bits());
    FindMarkPositions(bytes.data(), 64, size, 0, anchors, sizeFields, map.Bits());
    Collector sink;
    MailCarver carver("map.img", sink, 1252);
    const std::atomic<bool> stop{false};
    // In two walks, as chunks come.
    carver.Walk(CarveBuffer{bytes.data(), bytes.size(), 0}, size / 2, stop,
                withMap ? &map : nullptr);
    carver.Walk(CarveBuffer{bytes.data(), bytes.size(), 0}, size, stop, withMap ? &map : nullptr);
    carver.Finish();
    return sink.records;
  };

  // The line break in front of the block header lies 10 bytes before a sector's end; the trace
  // line behind the header (where the mail is found) runs through the whole next sector.
  constexpr std::size_t kSectorEnd = 4096;
  std::string head = "x\r\nReceived: by y\r\nFrom: a@x\r\nTo: b@x\r\nSubject: s";
  const std::size_t start = kSectorEnd - 8 - head.size() - 60;
  head += std::string(58, 's') + "\r\n";
  const std::string tail = "Received: " + std::string(700, 'r') +
                           "\r\nFrom: a@x\r\nTo: b@x\r\nDate: 1 Jan 2001 00:00:00\r\n\r\nbody\r\n";
  std::mt19937 random(3);
  for (int round = 0; round < 6; ++round) {
    std::vector<std::uint8_t> bytes(3 << 16);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    const std::string stored = head + BlockHeader() + tail;
    std::copy(stored.begin(), stored.end(), bytes.begin() + static_cast<std::ptrdiff_t>(start));
    // Mails whose bodies run over several sectors with no line that begins with an R: the walk
    // reads them whole, while outside mails it reads only sectors with a trace line's start.
    std::string letter;
    for (int line = 0; line < 80; ++line) letter += "line " + std::to_string(line) + " of it\r\n";
    for (int i = 0; i < round; ++i) {
      const std::string mail = "\r\n" + SampleMail("Mail " + std::to_string(i), letter);
      const std::size_t at = 20000 + static_cast<std::size_t>(i) * 25000 + random() % 20000;
      std::copy(mail.begin(), mail.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
    // A trace line at a sector's end: the header lines behind it, in a sector with no line that
    // begins with an R, are read.
    const std::string trace = "\r\nReceived: by x\r\n";
    const std::string rest = "From: a@x\r\nTo: b@x\r\nDate: 1 Jan 2001 00:00:00\r\n\r\nend\r\n";
    std::copy(trace.begin(), trace.end(),
              bytes.end() - 20 * 512 - static_cast<std::ptrdiff_t>(trace.size()));
    std::copy(rest.begin(), rest.end(), bytes.end() - 20 * 512);
    const auto plain = walk(bytes, false);
    const auto mapped = walk(bytes, true);
    ASSERT_EQ(mapped.size(), plain.size()) << round;
    ASSERT_GE(plain.size(), 1u);
    EXPECT_EQ(plain[0]->StartByte(), kSectorEnd + 8) << "found at the line behind the header";
    EXPECT_EQ(plain.back()->StartByte(), bytes.size() - 20 * 512 - trace.size() + 2);
    for (std::size_t i = 0; i < plain.size(); ++i) {
      EXPECT_EQ(mapped[i]->StartByte(), plain[i]->StartByte()) << round;
      EXPECT_EQ(mapped[i]->subject, plain[i]->subject) << round;
      EXPECT_EQ(mapped[i]->date, plain[i]->date) << round;
      EXPECT_EQ(mapped[i]->Body().bodyText, plain[i]->Body().bodyText) << round;
    }
    if (round > 0) {
      EXPECT_NE(plain[plain.size() - 2]->Body().bodyText.find("line 79 of it"), std::string::npos)
          << "the whole body is read";
    }
  }
}

// Whatever a chunk holds, the walk stays inside its buffer (the fuzz target tries the rest).
TEST(MailCarverTest, SurvivesHostileChunks) {
  std::string manyHeaders = "x\r\nReceived: y\r\n";
  while (manyHeaders.size() < 3'000'000) manyHeaders += "Subject: \r\n \r\n\t\r\n";
  std::string marks;
  while (marks.size() < 200'000) marks += std::string("\r\n\x02\x00\x00\r\n\x02\x00\x00\x02", 12);
  const std::string endsWithTrace = std::string(1 << 20, 'a') + "\r\nReceived: ";
  for (const std::string& bytes : {manyHeaders, marks, endsWithTrace, std::string(5000, '\r')}) {
    auto outcome = ScanBytes(bytes);
    EXPECT_TRUE(outcome.records.empty());
  }
}

}  // namespace
}  // namespace quillon

namespace quillon {
namespace {

// Without --strict the walk learns where header blocks begin ahead of it: the followed mail's
// text ends at the first line there, though no trace line opens that block.
TEST(MailCarverNextBlockTest, FollowedTextEndsAtTheNextBlockStart) {
  struct Collector : MailSink {
    std::vector<MailRecordPtr> records;
    void Accept(const MailRecordPtr& record) override { records.push_back(record); }
  };
  const std::string mail = CrLf(
      "x\nReceived: by y\nFrom: a@x\nTo: b@x\nDate: 1 Jan 2001 00:00:00\n\nfirst\nsecond\n"
      "Return-Path: <c@x>\nFrom: c@x\n\nnot the first mail's\n");
  const std::uint64_t next = mail.find("Return-Path");
  for (bool told : {false, true}) {
    std::vector<std::uint8_t> bytes(mail.begin(), mail.end());
    bytes.resize(bytes.size() + kCarveLookAhead, 0);
    Collector sink;
    MailCarver carver("next.img", sink, 1252);
    std::vector<std::uint64_t> asked;
    if (told) {
      carver.EndMailsAtNextBlocks([&](std::uint64_t after) {
        asked.push_back(after);
        return after < next ? next : UINT64_MAX;
      });
    }
    const std::atomic<bool> stop{false};
    carver.Walk(CarveBuffer{bytes.data(), bytes.size(), 0}, mail.size(), stop);
    carver.Finish();
    ASSERT_EQ(sink.records.size(), 1u);
    EXPECT_EQ(sink.records[0]->Body().bodyText,
              told ? "first\r\nsecond"
                   : "first\r\nsecond\r\nReturn-Path: <c@x>\r\nFrom: c@x"
                     "\r\n\r\nnot the first mail's");
    if (told) {
      ASSERT_FALSE(asked.empty());
      EXPECT_EQ(asked.front(), sink.records[0]->StartByte());
    }
  }
}

}  // namespace
}  // namespace quillon
