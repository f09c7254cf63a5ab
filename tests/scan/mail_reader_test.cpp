#include "scan/mail_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "scan/lines/header_text.h"
#include "scan/reread/mail_reader_window.h"
#include "source/memory_source.h"
#include "support/paths.h"
#include "support/scan_harness.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::BlockHeader;

using test::RowName;

using test::CrLf;
using test::ImageBuilder;
using test::SampleMail;
using test::ScanBytes;

constexpr std::string_view kFrom = "Alice Example <alice@example.org>";
constexpr std::string_view kTo = "Bob Example <bob@example.com>";
constexpr std::string_view kDateHeader = "Mon, 9 Mar 2009 10:11:12 +0800";
constexpr std::string_view kDate = "2009-03-09 10:11:12";

// Remembers every read the reader makes, so that its window can be seen from outside.
class RecordingBackend final : public SourceBackend {
 public:
  RecordingBackend(std::string bytes, std::vector<std::uint64_t>& offsets, std::uint64_t& bytesRead)
      : bytes_(std::move(bytes)), offsets_(offsets), bytesRead_(bytesRead) {}
  std::uint64_t SizeBytes() const override { return bytes_.size(); }
  std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) override {
    offsets_.push_back(offset);
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<std::size_t>(count, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    bytesRead_ += n;
    return static_cast<std::int64_t>(n);
  }

 private:
  std::string bytes_;
  std::vector<std::uint64_t>& offsets_;
  std::uint64_t& bytesRead_;
};

// Names a parameterised row after its `name` field.

DataSource MemorySource(std::string_view bytes) {
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(bytes.begin(), bytes.end())),
                     "memory.img");
  return source;
}

MailRecordPtr RecordAt(std::uint64_t startByte, std::string_view from = kFrom,
                       std::string_view to = kTo, std::string_view date = kDate) {
  auto record = std::make_shared<MailRecord>();
  record->from = from;
  record->to = to;
  record->date = date;
  record->startSector = startByte / 512;
  record->sectorOffset = static_cast<std::uint16_t>(startByte % 512);
  return record;
}

std::string Mail(std::string_view from, std::string_view to, std::string_view date,
                 std::string_view body = "Body line\r\n") {
  return CrLf("Received: from relay.example.org by mx.example.com; " + std::string(kDateHeader) +
              "\nFrom: " + std::string(from) + "\nTo: " + std::string(to) +
              "\nSubject: Hello\nDate: " + std::string(date) + "\n\n") +
         std::string(body);
}

std::string ReadBack(std::string_view image, const MailRecord& record) {
  DataSource source = MemorySource(image);
  std::string text;
  EXPECT_TRUE(ReadMailText(record, &source, text, nullptr));
  return text;
}

// Lead-in noise that ends in a CR LF, so the mail's first line is a line start.
std::string Lead(std::size_t size) {
  std::string lead(size - 2, 'n');
  return lead + "\r\n";
}

// --- The window --------------------------------------------------------------------------------

struct WindowStartRow {
  const char* name;
  std::uint64_t startSector;
  std::uint64_t firstRead;
};

class WindowStart : public ::testing::TestWithParam<WindowStartRow> {};

TEST_P(WindowStart, BeginsTwoSectorsBeforeTheMailAndNeverBeforeSectorZero) {
  std::vector<std::uint64_t> offsets;
  std::uint64_t bytesRead = 0;
  DataSource source;
  source.OpenBackend(
      std::make_unique<RecordingBackend>(std::string(1 << 20, '\0'), offsets, bytesRead),
      "recorded.img");
  std::string text;
  ASSERT_TRUE(ReadMailText(*RecordAt(GetParam().startSector * 512), &source, text, nullptr));
  ASSERT_FALSE(offsets.empty());
  EXPECT_EQ(offsets.front(), GetParam().firstRead);
}

INSTANTIATE_TEST_SUITE_P(MailReader, WindowStart,
                         ::testing::Values(WindowStartRow{"Sector0", 0, 0},
                                           WindowStartRow{"Sector1", 1, 0},
                                           WindowStartRow{"Sector2", 2, 0},
                                           WindowStartRow{"Sector3", 3, 512},
                                           WindowStartRow{"Sector100", 100, 98 * 512}),
                         RowName{});

TEST(MailReader, WindowOfAMailFoundEarlyIsNotReadToItsEnd) {
  // The mail ends in the first read: the rest of the window would not change it.
  std::vector<std::uint64_t> offsets;
  std::uint64_t bytesRead = 0;
  const std::string image =
      ImageBuilder().Put(1024, Lead(64) + Mail(kFrom, kTo, kDateHeader)).Resize(4 << 20).Bytes();
  DataSource source;
  source.OpenBackend(std::make_unique<RecordingBackend>(image, offsets, bytesRead), "r.img");
  std::string text;
  ASSERT_TRUE(ReadMailText(*RecordAt(1024 + 64), &source, text, nullptr));
  EXPECT_EQ(text, Mail(kFrom, kTo, kDateHeader));
  // A short mail costs one read of 16 KiB.
  EXPECT_EQ(bytesRead, 16384u);
}

// A mail is looked for in 16 KiB, then 32, 64, 128 KiB... of the window: each is read whole,
// and its text is the same whichever look found its end.
struct EarlyEndRow {
  const char* name;
  std::uint64_t mailEnd;    // byte offset in the image where the mail's text ends
  std::uint64_t bytesRead;  // the window read up to the look that found the end
};

class EarlyEnd : public ::testing::TestWithParam<EarlyEndRow> {};

TEST_P(EarlyEnd, ReadsUpToTheFirstLookThatHoldsTheMailsEnd) {
  constexpr std::uint64_t kMailStart = 1024 + 64;
  const std::string head = Mail(kFrom, kTo, kDateHeader, "");
  std::string body;
  const std::uint64_t bodyBytes = GetParam().mailEnd - kMailStart - head.size();
  while (body.size() + 78 <= bodyBytes) body += std::string(76, 'b') + "\r\n";
  body += std::string(bodyBytes - body.size() - 2, 'e') + "\r\n";
  const std::string mail = head + body;
  ASSERT_EQ(kMailStart + mail.size(), GetParam().mailEnd);
  std::vector<std::uint64_t> offsets;
  std::uint64_t bytesRead = 0;
  const std::string image = ImageBuilder().Put(1024, Lead(64) + mail).Resize(4 << 20).Bytes();
  DataSource source;
  source.OpenBackend(std::make_unique<RecordingBackend>(image, offsets, bytesRead), "r.img");
  std::string text;
  ASSERT_TRUE(ReadMailText(*RecordAt(kMailStart), &source, text, nullptr));
  EXPECT_EQ(text, mail);
  EXPECT_EQ(bytesRead, GetParam().bytesRead);
}

INSTANTIATE_TEST_SUITE_P(MailReader, EarlyEnd,
                         ::testing::Values(EarlyEndRow{"WellInsideTheFirstLook", 3000, 16384},
                                           EarlyEndRow{"JustInsideTheFirstLook", 16000, 16384},
                                           EarlyEndRow{"JustPastTheFirstLook", 16500, 32768},
                                           EarlyEndRow{"PastTheSecondLook", 40000, 65536},
                                           EarlyEndRow{"LongerThanSixtyFourKiB", 100000, 131072}),
                         RowName{});

// --- Store blocks ----------------------------------------------------------------------------

TEST(MailReader, StoreBlocksAcrossReadBoundariesComeBackJoined) {
  // A mail stored in 512-byte blocks, each behind a 16-byte block header, placed so that block
  // headers straddle the 64 KiB read boundaries.
  const std::string mail = Mail(kFrom, kTo, kDateHeader, std::string(200000, 'q') + "\r\n");
  const std::string store = Lead(64);
  // The mail's text begins in sector 10, so the window starts at sector 8 (byte 4096) and its
  // first read ends at byte 69632; the 123rd block header (at 5208 + 122 * 528 = 69624) lies
  // across that end.
  const std::size_t base = 5208;
  std::string stored;
  for (std::size_t at = 0; at < mail.size(); at += 512) {
    stored += BlockHeader(0x1000 + static_cast<std::uint32_t>(at), 0x41424344);
    stored += mail.substr(at, 512);
  }
  const std::string image = ImageBuilder().Put(base - 64, store).Put(base, stored).Bytes();
  // The mail's text starts behind the first block header.
  EXPECT_EQ(ReadBack(image + std::string(4096, '\0'), *RecordAt(base + 16)), mail);
}

// --- Finding the mail ---------------------------------------------------------------------------

struct WrongMailRow {
  const char* name;
  std::string first;
};

class MatchedSearch : public ::testing::TestWithParam<WrongMailRow> {};

TEST_P(MatchedSearch, SkipsAMailWithOtherValues) {
  const std::string second = Mail(kFrom, kTo, kDateHeader);
  const std::string image = Lead(600) + GetParam().first + "\r\n" + second;
  const std::uint64_t secondStart = image.size() - second.size();
  EXPECT_EQ(ReadBack(image + std::string(512, '\0'), *RecordAt(secondStart)), second);
}

INSTANTIATE_TEST_SUITE_P(
    MailReader, MatchedSearch,
    ::testing::Values(
        WrongMailRow{"OtherFrom", Mail("Carol <carol@example.org>", kTo, kDateHeader)},
        WrongMailRow{"OtherTo", Mail(kFrom, "Dave <dave@example.net>", kDateHeader)},
        WrongMailRow{"OtherDate", Mail(kFrom, kTo, "Tue, 10 Mar 2009 10:11:12")},
        WrongMailRow{"NoValuesAtAll", CrLf("Return-Path: <x@example.org>\n\n")},
        // Equal values, but its header block ends before the record's trace line.
        WrongMailRow{"SameValuesBeforeTheRecord",
                     Mail(kFrom, kTo, kDateHeader, "An earlier mail of the same sender\r\n")}),
    RowName{});

TEST(MailReader, ScannedMailsWithFoldedAddressesAreFoundAgain) {
  const std::string mail = CrLf(
      "Received: from relay.example.org by mx.example.com; Mon, 9 Mar 2009 10:11:12 +0800\n"
      "From: \"Alice\n"
      "\t Example\" <alice@example.org>\n"
      "To: Bob <bob@example.com>,\n"
      "  Carol <carol@example.com>\n"
      "Subject: Folded\n"
      "Date: Mon, 9 Mar 2009 10:11:12 +0800\n"
      "\n"
      "Text\n");
  // A mail with the same trace line but other addresses comes first in the window.
  const std::string decoy = Mail("Alice", "Bob <bob@example.com>", kDateHeader);
  const std::string image = ImageBuilder().Put(0, Lead(700) + decoy + "\r\n" + mail).Bytes();
  const auto scanned = ScanBytes(image + std::string(1024, '\0'));
  ASSERT_EQ(scanned.records.size(), 2u);
  EXPECT_EQ(scanned.records[1]->from, "\"Alice Example\" <alice@example.org>");
  EXPECT_EQ(ReadBack(image + std::string(1024, '\0'), *scanned.records[1]), mail);
}

TEST(MailReader, TakesLinesBeforeTheTraceLineThatStartAMail) {
  const std::string mail = SampleMail();
  const std::string withPath = CrLf("Return-Path: <alice@example.org>\nDelivered-To: bob\n") + mail;
  const std::string image = Lead(64) + withPath + std::string(512, '\0');
  const auto scanned = ScanBytes(image);
  ASSERT_EQ(scanned.records.size(), 1u);
  EXPECT_EQ(ReadBack(image, *scanned.records[0]), withPath);
}

struct EndRow {
  const char* name;
  std::string behind;    // what follows the mail's body
  std::string expected;  // the body as read back
};

class MailEnd : public ::testing::TestWithParam<EndRow> {};

TEST_P(MailEnd, IsTheNextStartLineOrANul) {
  const std::string head = Mail(kFrom, kTo, kDateHeader, "");
  const std::string image = Lead(64) + head + GetParam().behind + std::string(512, '\0');
  EXPECT_EQ(ReadBack(image, *RecordAt(64)), head + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    MailReader, MailEnd,
    ::testing::Values(
        EndRow{"NextReceived", "one\r\nReceived: next\r\n", "one"},
        EndRow{"NextReturnPathAnyCase", "one\r\ntwo\r\nRETURN-PATH: <x>\r\n", "one\r\ntwo"},
        EndRow{"NextDeliveredTo", "one\r\nDelivered-To: x\r\n", "one"},
        EndRow{"StartNameInsideALine", "one Received: x\r\n", "one Received: x\r\n"},
        EndRow{"Nul", std::string("one\r\ntw\0o\r\n", 11), "one\r\ntw"},
        EndRow{"LowControlsAsBlanks", "a\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0B\x0C\x0E|",
               "a       \x08\x09\x0B\x0C\x0E|"},
        EndRow{"HighBytesStay", "\x80\xFF\xE9\r\n", "\x80\xFF\xE9\r\n"}),
    RowName{});

TEST(MailReader, HeadersEndAtTheRecordsBoundaryLine) {
  // No empty line between the header and the first part: the boundary line ends the header, so
  // the trace line of the forwarded mail in the part ends the text.
  const std::string mail = CrLf(
      "Received: from relay.example.org by mx.example.com; Mon, 9 Mar 2009 10:11:12 +0800\n"
      "From: Alice Example <alice@example.org>\n"
      "To: Bob Example <bob@example.com>\n"
      "Date: Mon, 9 Mar 2009 10:11:12 +0800\n"
      "Content-Type: multipart/mixed; boundary=\"b1\"\n"
      "--b1\n"
      "Content-Type: message/rfc822\n");
  const std::string image =
      Lead(64) + mail + CrLf("Received: inner\n\n--b1--\n") + std::string(512, '\0');
  MailRecordPtr record = RecordAt(64);
  record->boundary = "b1";
  EXPECT_EQ(ReadBack(image, *record), mail.substr(0, mail.size() - 2));
}

struct ShapeRow {
  const char* name;
  std::string from;  // the record's From value
};

class ShapeFind : public ::testing::TestWithParam<ShapeRow> {};

TEST_P(ShapeFind, IsReadFromItsOwnFirstLine) {
  // A mail without trace line, its first line behind bytes that are no line end, and a mail
  // with a trace line behind it in the window: the record's own text comes back, whether or not
  // its values agree.
  const std::string mail = CrLf(
      "From: Alice Example <alice@example.org>\nTo: Bob Example <bob@example.com>\n"
      "Subject: Shape\nDate: Mon, 9 Mar 2009 10:11:12 +0800\n\nText\n");
  const std::string later = Mail(kFrom, kTo, kDateHeader);
  const std::string image = std::string(700, 'n') + mail + "\r\n" + later + std::string(512, '\0');
  MailRecordPtr record = RecordAt(700, GetParam().from);
  record->foundBy = FoundBy::Shape;
  EXPECT_EQ(ReadBack(image, *record), mail);
}

INSTANTIATE_TEST_SUITE_P(MailReader, ShapeFind,
                         ::testing::Values(ShapeRow{"ValuesAgree", std::string(kFrom)},
                                           ShapeRow{"ValuesDiffer", "Somebody Else"}),
                         RowName{});

// In a mailbox, a mail whose follower is no mail the scan found still ends before the blank
// line that goes with the next separator: it comes back byte for byte.
TEST(MailReader, MailboxMailEndsBeforeTheSeparatorsBlankLine) {
  const std::string mail = CrLf(
      "From: Alice Example <alice@example.org>\nTo: Bob Example <bob@example.com>\n"
      "Subject: Boxed\nDate: Mon, 9 Mar 2009 10:11:12 +0800\nMessage-ID: <boxed@example.org>\n"
      "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b1\n\n--b1\n\ntext\n"
      "--b1--\n\n");
  const std::string next =
      CrLf("From b@example.org Sat Jan  1 00:00:00 2000\nFrom: foo\nSubject: bar\n\nnote\n");
  ImageBuilder image;
  image.Put(4096, CrLf("From alice@example.org Sat Jan  1 00:00:00 2000\n") + mail + "\r\n" + next)
      .Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(ReadBack(image.Bytes(), *records[0]), mail);
}

TEST(MailReader, FallsBackToTheFirstMailWhenNoneMatches) {
  const std::string first = Mail("Carol <carol@example.org>", kTo, kDateHeader);
  const std::string image = Lead(64) + first + std::string(512, '\0');
  EXPECT_EQ(ReadBack(image, *RecordAt(64, "Nobody", "Nobody", "2001-01-01 00:00:00")), first);
}

TEST(MailReader, NothingFoundGivesEmptyTextAndTrue) {
  const std::string image = Lead(64) + "no mail here\r\n" + std::string(2048, '\0');
  EXPECT_EQ(ReadBack(image, *RecordAt(64)), "");
}

TEST(MailReader, AMailAtTheVeryStartOfTheSourceIsNotALineStart) {
  const std::string image = Mail(kFrom, kTo, kDateHeader) + std::string(512, '\0');
  EXPECT_EQ(ReadBack(image, *RecordAt(0)), "");
}

// --- Long mails ---------------------------------------------------------------------------------

struct LongMailRow {
  const char* name;
  std::size_t bodyBytes;
};

class LongMail : public ::testing::TestWithParam<LongMailRow> {};

TEST_P(LongMail, ComesBackWholeBeyondTheWindow) {
  std::string body;
  for (std::size_t line = 0; body.size() < GetParam().bodyBytes; ++line)
    body += "line " + std::to_string(line) + " of a long text without attachments\r\n";
  const std::string mail = Mail(kFrom, kTo, kDateHeader, body);
  const std::string image = Lead(1000) + mail + std::string(4096, '\0');
  const std::string text = ReadBack(image, *RecordAt(1000));
  ASSERT_EQ(text.size(), mail.size());
  EXPECT_EQ(text, mail);
}

INSTANTIATE_TEST_SUITE_P(MailReader, LongMail,
                         ::testing::Values(LongMailRow{"InsideTheWindow", 400000},
                                           LongMailRow{"JustBeyondTheWindow", 530000},
                                           LongMailRow{"ThreeMebibytes", 3 << 20}),
                         RowName{});

TEST(MailReader, AMailThatNeverEndsStopsAtTheEndOfTheSource) {
  const std::string head = Mail(kFrom, kTo, kDateHeader, "");
  const std::string image = Lead(64) + head + std::string(700000, 'z');
  const std::string text = ReadBack(image, *RecordAt(64));
  EXPECT_EQ(text, head + std::string(700000, 'z'));
}

// --- Sources and stopping ----------------------------------------------------------------------

TEST(MailReader, OpensTheRecordsOwnSourceWhenGivenNone) {
  test::TemporaryDirectory folder;
  const std::string mail = Mail(kFrom, kTo, kDateHeader);
  const std::filesystem::path image = folder.path() / "disk.img";
  std::ofstream(image, std::ios::binary) << Lead(64) << mail << std::string(512, '\0');
  MailRecordPtr record = RecordAt(64);
  record->SetSourceName(image.string());
  std::string text = "old";
  ASSERT_TRUE(ReadMailText(*record, nullptr, text, nullptr));
  EXPECT_EQ(text, mail);
  std::string preview;
  ASSERT_TRUE(ReadMailTextForPreview(*record, preview));
  EXPECT_EQ(preview, mail);
}

TEST(MailReader, ASourceThatCannotBeOpenedGivesFalseAndEmptyText) {
  MailRecordPtr record = RecordAt(64);
  record->SetSourceName("/nonexistent/folder/disk.img");
  std::string text = "old";
  EXPECT_FALSE(ReadMailText(*record, nullptr, text, nullptr));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(ReadMailTextForPreview(*record, text));
}

TEST(MailReader, AStopBeforeTheFirstReadReadsNothing) {
  std::vector<std::uint64_t> offsets;
  std::uint64_t bytesRead = 0;
  DataSource source;
  source.OpenBackend(std::make_unique<RecordingBackend>(Lead(64) + Mail(kFrom, kTo, kDateHeader),
                                                        offsets, bytesRead),
                     "r.img");
  const std::atomic<bool> stop{true};
  std::string text = "old";
  EXPECT_TRUE(ReadMailText(*RecordAt(64), &source, text, &stop));
  EXPECT_EQ(text, "");
  EXPECT_TRUE(offsets.empty());
}

TEST(MailReader, AFailedSectorReadsAsZerosAndSparesTheOthers) {
  const std::string mail = Mail(kFrom, kTo, kDateHeader);
  std::string image = Lead(64) + mail;
  image.resize(8192, '\0');
  DataSource source;
  // The sector behind the mail fails; the mail itself is read.
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(image.begin(), image.end()), {8}),
                     "bad.img");
  std::string text;
  ASSERT_TRUE(ReadMailText(*RecordAt(64), &source, text, nullptr));
  EXPECT_EQ(text, mail);
}

// --- Multiparts whose end a sender's slip or a damaged spot hides ------------------------------

struct DamagedMultipartRow {
  const char* name;
  bool traceLine;          // found by its trace line, else by the shape of its header block
  std::string body;        // behind a multipart header block that declares boundary "outer=1"
  std::string behind;      // old bytes behind the mail
  std::size_t cutShort;    // bytes of the body's end that are no part of the mail read back
  bool lineFeeds = false;  // the mail ends its lines in a bare LF
};

void PrintTo(const DamagedMultipartRow& row, std::ostream* out) {
  *out << row.name;
}

class DamagedMultipart : public ::testing::TestWithParam<DamagedMultipartRow> {};

TEST_P(DamagedMultipart, ComesBackToItsOwnEnd) {
  const DamagedMultipartRow& row = GetParam();
  const std::string head =
      CrLf(std::string(row.traceLine ? "Received: from relay.example.org by mx.example.com; "
                                       "Mon, 9 Mar 2009 10:11:12 +0800\n"
                                     : "") +
           "From: Alice Example <alice@example.org>\nTo: Bob Example <bob@example.com>\n"
           "Subject: Photo\nDate: Mon, 9 Mar 2009 10:11:12 +0800\nMIME-Version: 1.0\n"
           "Content-Type: multipart/mixed;\n boundary=\"outer=1\"\n\n");
  std::string mail = head + row.body;
  if (row.lineFeeds) std::erase(mail, '\r');
  const std::string image = std::string(1024, '\0') + mail + row.behind + std::string(4096, '\0');
  const auto scanned = ScanBytes(image);
  ASSERT_EQ(scanned.records.size(), 1u);
  EXPECT_EQ(ReadBack(image, *scanned.records[0]), mail.substr(0, mail.size() - row.cutShort));
}

// Lines of base64 data, as an attachment's: more than the look a reader takes behind a mail's
// known end.
std::string Base64Lines(std::size_t count) {
  std::string lines;
  for (std::size_t line = 0; line < count; ++line)
    lines += std::string(72, "QUJDRA"[line % 6]) + "\r\n";
  return lines;
}

// A nested multipart/alternative that took the boundary of the multipart around it: its closing
// line closes the outer one too, by the letter, yet an attachment follows under the same boundary.
const std::string kReusedBoundary =
    CrLf(
        "--outer=1\nContent-Type: multipart/alternative; boundary=\"outer=1\"\n\n"
        "--outer=1\nContent-Type: text/plain; charset=utf-8\n\nSent from my phone\n"
        "--outer=1\nContent-Type: text/html; charset=utf-8\n\n<div>Sent from my phone</div>\n\n"
        "--outer=1--\n\n"
        "--outer=1\nContent-Type: application/zip; name=\"photo.zip\"\n"
        "Content-Transfer-Encoding: base64\n\n") +
    Base64Lines(120) + CrLf("--outer=1--\n");
// The declared boundary is not the one the lines use, and the last base64 line took two NULs
// in front of its line break: only the closing line behind them tells where the mail ends.
const std::string kNulsInTheLastLine = CrLf(
                                           "----=_used\nContent-Type: text/html; charset=us-ascii\n"
                                           "Content-Transfer-Encoding: base64\n\n") +
                                       Base64Lines(20) + "L2h0bWw+" + std::string(2, '\0') +
                                       CrLf("\n\n----=_other--\n");

INSTANTIATE_TEST_SUITE_P(
    MailReader, DamagedMultipart,
    ::testing::Values(
        DamagedMultipartRow{"ReusedBoundaryFoundByTraceLine", true, kReusedBoundary, "", 0},
        DamagedMultipartRow{"ReusedBoundaryFoundByShape", false, kReusedBoundary, "", 0},
        // The walk that follows a mail found by its trace line reads lines behind a CR LF only.
        DamagedMultipartRow{"ReusedBoundaryWithLineFeedsOnly", true, kReusedBoundary, "", 0, true},
        DamagedMultipartRow{"ReusedBoundaryBeforeBinaryData", true, kReusedBoundary,
                            "\x8f\x01\xd3\x7f\x02\xee\x1b\x90", 0},
        // The closing line repeated, as a nested multipart that ended together with the outer
        // one closes both.
        DamagedMultipartRow{"ClosingLineTwice", true,
                            CrLf("--outer=1\n\nHi\n--outer=1--\n--outer=1--\n"), "", 0},
        DamagedMultipartRow{"NulsInTheLastLineFoundByTraceLine", true, kNulsInTheLastLine, "", 0},
        DamagedMultipartRow{"NulsInTheLastLineFoundByShape", false, kNulsInTheLastLine, "", 0},
        // Old text behind NULs is no closing line: the mail still ends at them.
        DamagedMultipartRow{"NulsBeforeOldText", true,
                            CrLf("----=_used\n\nHi\n") + "L2h0bWw+" + std::string(2, '\0') +
                                CrLf("\nold text\n--x--\n"),
                            "", 2 + 2 + 10 + 7}),
    RowName{});

}  // namespace
}  // namespace quillon
