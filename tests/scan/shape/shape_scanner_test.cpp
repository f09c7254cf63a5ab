// Mails the trace rule misses, found by the shape of their header block; and what is not a mail
// of its own. End to end over images held in memory, in the default (non-strict) mode.
#include "scan/shape/shape_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/scan_harness.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;
using test::StoreBlock;

const std::string kShapeMail = CrLf(
    "From: Carol Example <carol@example.org>\n"
    "To: Dan Example <dan@example.net>\n"
    "Subject: Sent from my desk\n"
    "Date: Tue, 3 Nov 2020 08:00:00 +0100\n"
    "Message-ID: <desk@example.org>\n"
    "\n"
    "No trace line at all.\n");

std::vector<std::uint64_t> Positions(const std::vector<MailRecordPtr>& records) {
  std::vector<std::uint64_t> positions;
  for (const auto& record : records) positions.push_back(record->StartByte());
  return positions;
}

ScanOptions Strict() {
  ScanOptions options;
  options.strict = true;
  return options;
}

struct PlaceRow {
  const char* name;
  std::string before;  // bytes in front of the mail
  std::uint64_t at;    // where the mail starts
};

class ShapePlaceTest : public testing::TestWithParam<PlaceRow> {};

// A mail whose first line follows no line break is found from that line, not in strict mode.
TEST_P(ShapePlaceTest, FoundFromItsFirstLine) {
  ImageBuilder image;
  image.Put(GetParam().at - GetParam().before.size(), GetParam().before)
      .Put(GetParam().at, kShapeMail)
      .Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->StartByte(), GetParam().at);
  EXPECT_EQ(records[0]->foundBy, FoundBy::Shape);
  EXPECT_EQ(records[0]->SubjectText(), u"Sent from my desk");
  EXPECT_EQ(records[0]->Body().bodyText, "No trace line at all.");
  EXPECT_TRUE(ScanBytes(image.Bytes(), Strict()).records.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Places, ShapePlaceTest,
    testing::Values(PlaceRow{"SourceStart", "", 0}, PlaceRow{"BehindZeros", "", 8192},
                    PlaceRow{"BehindBinary", std::string("\x01\x9f\x00\xfe\x07", 5), 4101},
                    PlaceRow{"SectorStartBehindText", "some unrelated text\r\nwithout end", 2048},
                    PlaceRow{"BehindALineOfBlanks", std::string(40, ' ') + "\r\n", 4096 + 42},
                    PlaceRow{"BehindMailboxSeparator",
                             "\r\n\r\nFrom carol@example.org Tue Nov  3 08:00:00 2020\r\n", 777}),
    [](const testing::TestParamInfo<PlaceRow>& row) { return row.param.name; });

struct ShapeRow {
  const char* name;
  std::string mail;
  bool found;
};

class ShapeKindTest : public testing::TestWithParam<ShapeRow> {};

TEST_P(ShapeKindTest, Recognised) {
  ImageBuilder image;
  image.Put(4096, GetParam().mail).Resize(256 * 1024);
  EXPECT_EQ(ScanBytes(image.Bytes()).records.size(), GetParam().found ? 1u : 0u);
}

std::string LongHeader() {
  std::string header = "Return-Path: <a@example.org>\n";
  for (int i = 0; i < 60; ++i)
    header += "X-Filter-Trace-" + std::to_string(i) + ": " + std::string(90, 'q') + "\n";
  return header;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ShapeKindTest,
    testing::Values(
        ShapeRow{"OtherFirstLine",
                 CrLf("X-UIDL: 12345\nFrom: a@example.org\nDate: 1 Jan 2001 00:00:00\n"
                      "Subject: s\n\nbody\n"),
                 true},
        ShapeRow{"NoTo",
                 CrLf("From: a@example.org\nDate: 1 Jan 2001 00:00:00\n"
                      "Subject: s\nMessage-ID: <x@y>\n\nbody\n"),
                 true},
        ShapeRow{"LineFeedOnly",
                 "From: a@example.org\nTo: b@example.org\nDate: 1 Jan 2001 00:00:00\n"
                 "Subject: s\n\nbody\n",
                 true},
        // Longer than the trace rule's 8 sectors, within 64 KiB.
        ShapeRow{"LongHeaderBlock",
                 CrLf(LongHeader() + "From: a@example.org\nTo: b@example.org\n"
                                     "Date: 1 Jan 2001 00:00:00\n\nbody\n"),
                 true},
        ShapeRow{"NoDate", CrLf("From: a@example.org\nTo: b@example.org\nSubject: s\n\nbody\n"),
                 false},
        // A bare block whose text goes on with more such lines is a note, not a mail; with
        // an identity and recipients of its own it is a mail that quotes another.
        ShapeRow{"HeaderLinesInTheNotesBelow",
                 CrLf("Date: Mon, 3 Feb 2003 10:43:00 +0000\nSubject: summer\n"
                      "From: Engine <more@example.com>\n\nHas can other market.\n"
                      "Date: Mon, 3 Feb 2003 10:01:00 +0000\nX-Priority: 3\n"),
                 false},
        ShapeRow{"QuotingMailWithAnIdentity",
                 CrLf("Date: Mon, 3 Feb 2003 10:43:00 +0000\nSubject: fwd\n"
                      "From: Engine <more@example.com>\nTo: you@example.com\n"
                      "Message-ID: <fwd@example.com>\n\n"
                      "See below.\nFrom: someone@example.org\nDate: yesterday\n"),
                 true},
        // Header-like lines running into prose carry none of a real header's marks.
        ShapeRow{"HeaderLikeProse",
                 CrLf("From: someone\nDate: yesterday\nSubject: x\nthen the story goes on and "
                      "on\n"),
                 false}),
    [](const testing::TestParamInfo<ShapeRow>& row) { return row.param.name; });

// A message attached to another is part of it, not a mail of its own; one quoted as text in
// another mail's body after part headers is not taken at all.
TEST(ShapeScannerTest, AttachedMessageIsPartOfItsParent) {
  const std::string inner = CrLf(
      "Received: from a by b; 1 Jan 2001\n"
      "Received: from c by a; 1 Jan 2001\n"
      "From: inner@example.org\nTo: x@example.org\nDate: 1 Jan 2001 00:00:00\n"
      "Subject: inner\nMessage-ID: <inner@example.org>\n\ninner body\n");
  const std::string outer =
      CrLf(
          "From: outer@example.org\nTo: y@example.org\nDate: 2 Jan 2001 00:00:00\n"
          "Subject: outer\nMessage-ID: <outer@example.org>\nMIME-Version: 1.0\n"
          "Content-Type: multipart/mixed; boundary=\"b1\"\n\n"
          "--b1\nContent-Type: text/plain\n\nsee attached\n"
          "--b1\nContent-Type: message/rfc822\n\n") +
      inner + CrLf("--b1--\n");
  ImageBuilder image;
  image.Put(8192, outer).Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 2u) << "the trace rule still finds the inner message";
  EXPECT_EQ(records[0]->SubjectText(), u"outer");
  EXPECT_EQ(records[0]->partOf, -1);
  EXPECT_EQ(records[1]->SubjectText(), u"inner");
  EXPECT_EQ(records[1]->foundBy, FoundBy::Trace);
  EXPECT_EQ(records[1]->partOf, 0);
}

struct InsideRow {
  const char* name;
  std::string outerHeader;  // up to the start of the part that holds the inner message
  std::string partHeader;
  std::string innerLead;  // what stands in front of the inner message's header block
};

class TraceFindInsideTest : public testing::TestWithParam<InsideRow> {};

// A message the trace rule finds inside another mail's body is kept and marked as part of it,
// also where the outer mail's end is not known.
TEST_P(TraceFindInsideTest, IsPartOfTheMailAroundIt) {
  const InsideRow& row = GetParam();
  const std::string inner = CrLf(
      "Return-Path: <inner@example.org>\n"
      "Received: from c by a; 1 Jan 2001\n"
      "From: inner@example.org\nTo: x@example.org\nDate: 1 Jan 2001 00:00:00\n"
      "Subject: inner\n\ninner body\n");
  const std::string outer =
      CrLf(row.outerHeader + "\n--b1\nContent-Type: text/plain\n\nsee below\n" + "--b1\n" +
           row.partHeader + "\n" + row.innerLead) +
      inner + CrLf("--b1--\n");
  ImageBuilder image;
  image.Put(8192, outer).Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]->SubjectText(), u"outer");
  EXPECT_EQ(records[0]->partOf, -1);
  EXPECT_EQ(records[1]->SubjectText(), u"inner");
  EXPECT_EQ(records[1]->partOf, 0);
}

const std::string kOuterHeader =
    "From: outer@example.org\nTo: y@example.org\nDate: 2 Jan 2001 00:00:00\n"
    "Subject: outer\nMessage-ID: <outer@example.org>\nMIME-Version: 1.0\n";

INSTANTIATE_TEST_SUITE_P(
    Parts, TraceFindInsideTest,
    testing::Values(
        // A bounce whose boundary parameter was cut off: its end is unknown.
        InsideRow{"ReturnedHeadersOfADamagedBounce",
                  kOuterHeader + "Content-Type: multipart/report; report-type=delivery-status;\n"
                                 "\tbo\n",
                  "Content-Type: text/rfc822-headers\n", ""},
        InsideRow{"AttachedMessageSavedFromAMailbox",
                  kOuterHeader + "Content-Type: multipart/mixed; boundary=b1\n",
                  "Content-Type: message/rfc822; name=\"saved.eml\"\n",
                  "From inner@example.org Tue May 10 11:28:07 2005\n"}),
    [](const testing::TestParamInfo<InsideRow>& row) { return row.param.name; });

// A mail that begins at a sector right behind unrelated text, with no line end between, shares
// its first line with that text: it is found from the sector on.
TEST(ShapeScannerTest, MailBeginningAtASectorInsideALineOfText) {
  const std::string mail = CrLf("X-Store-Info: kept\n") + kShapeMail;
  const std::string text = "unrelated prose that runs on without a line end.";
  ImageBuilder image;
  image.Put(4096 - text.size(), text).Put(4096, mail).Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->StartByte(), 4096u);
  EXPECT_EQ(records[0]->SubjectText(), u"Sent from my desk");
}

// A sector that begins at "From:" inside a folded signature line of a header block begins no
// mail: the block is found from its own first line.
TEST(ShapeScannerTest, SectorStartInsideAHeaderLineBeginsNoMail) {
  const std::string lead = CrLf("X-Pad: " + std::string(400, 'p') + "\nDKIM-Signature: v=1;\n h=");
  const std::string mail = lead + CrLf("From:To:Subject:Date;\n b=abcdef\n") + kShapeMail.substr(0);
  ASSERT_EQ(mail.find("From:To"), lead.size());
  ImageBuilder image;
  // The sector boundary falls on the signature's "From:".
  image.Put(4096 + 512 - lead.size(), mail).Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->StartByte(), 4096u + 512 - lead.size());
  EXPECT_EQ(records[0]->FromText(), u"Carol Example <carol@example.org>");
}

// A message quoted whole in a plain mail's text, with its mailbox separator line (a patch mailed
// for review), is part of that mail; the mail's text runs on over it.
TEST(ShapeScannerTest, MessageQuotedWithItsSeparatorIsPartOfTheMail) {
  const std::string mail = CrLf(
      "From: outer@example.org\nTo: y@example.org\nDate: 2 Jan 2001 00:00:00\n"
      "Subject: outer\nMessage-ID: <outer@example.org>\n\nThe patch below was queued.\n\n"
      "From inner@example.org Sat Sep  2 09:30:52 2023\n"
      "Return-Path: <inner@example.org>\nReceived: from c by a; 1 Jan 2001\n"
      "From: inner@example.org\nTo: x@example.org\nDate: 1 Jan 2001 00:00:00\n"
      "Subject: inner\n\ninner body\n");
  ImageBuilder image;
  image.Put(8192, mail).Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 2u) << "the trace rule still finds the quoted message";
  EXPECT_EQ(records[0]->SubjectText(), u"outer");
  EXPECT_EQ(records[0]->partOf, -1);
  EXPECT_EQ(records[1]->SubjectText(), u"inner");
  EXPECT_EQ(records[1]->partOf, 0);
}

// Copies of one message: the later ones name the first.
TEST(ShapeScannerTest, LaterCopiesAreMarkedAsDuplicates) {
  ImageBuilder image;
  image.Put(4096, kShapeMail).Put(40960, kShapeMail).Put(81920, kShapeMail).Resize(128 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0]->duplicateOf, -1);
  EXPECT_EQ(records[1]->duplicateOf, 0);
  EXPECT_EQ(records[2]->duplicateOf, 0);
}

// A copy found by its trace line, below which the Message-ID does not stand, is known by its
// header values; a message with another Message-ID and the same values is no copy.
TEST(ShapeScannerTest, CopyReadWithoutItsMessageIdIsADuplicate) {
  const std::string values = CrLf(
      "From: Carol Example <carol@example.org>\nTo: Dan Example <dan@example.net>\n"
      "Subject: Sent from my desk\nDate: Tue, 3 Nov 2020 08:00:00 +0100\n");
  const std::string traced = CrLf("Message-ID: <desk@example.org>\nReceived: from a by b\n") +
                             values + CrLf("\nNo trace line at all.\n");
  const std::string other =
      CrLf("Message-ID: <other@example.org>\n") + values + CrLf("\nAnother one.\n");
  // The first copy is found by its header block from its first line, the second only by its
  // trace line, below its Message-ID; a third mail shares the values but not the bytes.
  ImageBuilder image;
  image.Put(4093, "\x01\x02\x03" + traced)
      .Put(40960, "old words" + traced)
      .Put(81920, other)
      .Resize(128 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1]->foundBy, FoundBy::Trace);
  EXPECT_TRUE(records[1]->messageId.empty());
  EXPECT_EQ(records[1]->duplicateOf, 0);
  EXPECT_EQ(records[2]->duplicateOf, -1);
}

// The shape rule adds finds; it never moves or drops one of the trace rule.
TEST(ShapeScannerTest, TraceFindsStayWhereTheyAre) {
  ImageBuilder image;
  for (int i = 0; i < 5; ++i)
    image.Put(i * 300000 + 4096, test::SampleMail("Mail " + std::to_string(i)));
  image.Put(1'600'000, kShapeMail).Resize(2'000'000);
  const auto strict = ScanBytes(image.Bytes(), Strict()).records;
  const auto all = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(strict.size(), 5u);
  ASSERT_EQ(all.size(), 6u);
  std::vector<std::uint64_t> traceFinds;
  for (const auto& record : all)
    if (record->foundBy == FoundBy::Trace) traceFinds.push_back(record->StartByte());
  EXPECT_EQ(traceFinds, Positions(strict));
  // And they learn where their mail's whole text begins.
  EXPECT_EQ(all[0]->Extent().textStart, 4096u);
}

// An image with one store whose base lies at 4096, holding a chain of two blocks that are out of
// order: the first at 528 * 3, the second (its end) before it at 528.
std::string TwoBlockChainOutOfOrder(std::string_view first, std::string_view second) {
  ImageBuilder image;
  image.Put(4096 + 528 * 3,
            StoreBlock(528 * 3, static_cast<std::uint32_t>(first.size()), 528, first));
  image.Put(4096 + 528, StoreBlock(528, static_cast<std::uint32_t>(second.size()), 0, second));
  image.Resize(64 * 1024);
  return image.Bytes();
}

// A mail in a store whose blocks are out of order is found at its first block and read by its
// chain; a block that continues it is not taken for a mail, even when it opens with a header.
TEST(ShapeScannerTest, StoreChainOutOfOrder) {
  std::string mail = CrLf("Subject: stored\nX-Pad: " + std::string(440, 'p') +
                          "\nFrom: e@example.org\nTo: f@example.org\n"
                          "Date: 4 Jan 2001 00:00:00\nMessage-ID: <stored@example.org>\n\n"
                          "stored body\n");
  ASSERT_GT(mail.size(), 512u);
  ASSERT_LE(mail.size(), 1024u);
  // The second block's text happens to begin with a header line.
  const std::size_t cut = mail.find("From:");
  ASSERT_LT(cut, 512u);
  const auto records =
      ScanBytes(TwoBlockChainOutOfOrder(mail.substr(0, cut), mail.substr(cut))).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->SubjectText(), u"stored");
  EXPECT_EQ(records[0]->StartByte(), 4096u + 528 * 3 + 16);
  EXPECT_TRUE(records[0]->Extent().inStore);
  EXPECT_EQ(records[0]->Extent().storeBlock, 4096u + 528 * 3);
}

// A stored message with a trace line whose blocks are out of order is no find of the walk (its
// From, To and Date lie in a block before the trace line); its body is read from its chain when
// the scan ends.
TEST(ShapeScannerTest, StoredMessageTheWalkMissesGetsItsBody) {
  std::string mail = CrLf(
      "Received: from a by b; 4 Jan 2001 00:00:00\nSubject: shuffled\n"
      "X-Pad: " +
      std::string(400, 'p') +
      "\nFrom: e@example.org\nTo: f@example.org\n"
      "Date: 4 Jan 2001 00:00:00\nMessage-ID: <shuffled@example.org>\n\n"
      "the body of the shuffled mail\n");
  const std::size_t cut = mail.find("From:");
  ASSERT_LT(cut, 512u);
  ASSERT_LE(mail.size() - cut, 512u);
  const auto records =
      ScanBytes(TwoBlockChainOutOfOrder(mail.substr(0, cut), mail.substr(cut))).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->foundBy, FoundBy::Shape);
  EXPECT_EQ(records[0]->SubjectText(), u"shuffled");
  EXPECT_TRUE(records[0]->Extent().inStore);
  EXPECT_NE(records[0]->Body().bodyText.find("the body of the shuffled mail"), std::string::npos)
      << records[0]->Body().bodyText;
}

// A stored message that opens with a line of blanks is found from its first header line.
TEST(ShapeScannerTest, StoredMessageBehindALineOfBlanks) {
  const std::string mail =
      std::string(40, ' ') +
      CrLf(
          "\nFrom: e@example.org\nTo: f@example.org\nDate: 4 Jan 2001 00:00:00\n"
          "Subject: blank first\nMessage-ID: <blank@example.org>\n\nbody\n");
  ImageBuilder image;
  image.Put(4096 + 528, StoreBlock(528, static_cast<std::uint32_t>(mail.size()), 0, mail))
      .Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->SubjectText(), u"blank first");
  EXPECT_EQ(records[0]->StartByte(), 4096u + 528 + 16 + 42);
  EXPECT_TRUE(records[0]->Extent().inStore);
}

// A stored message whose trace line the walk reads on into the block that lies behind it, not
// the next of its chain, takes its own values: it is found once, at its trace line.
TEST(ShapeScannerTest, TraceFindReadIntoAForeignBlockTakesItsChainsValues) {
  const std::string head = CrLf("X-Note: kept\nReceived: from a by b; 4 Jan 2001 00:00:00\n");
  const std::string tail = CrLf("Subject: mine\n");
  const std::string first =
      head + "X-Pad: " + std::string(512 - head.size() - tail.size() - 9, 'p') + "\r\n" + tail;
  const std::string second = CrLf(
      "From: e@example.org\nTo: f@example.org\nDate: 4 Jan 2001 00:00:00\n\nthe body of mine\n");
  const std::string foreign = CrLf(
      "From: x@example.net\nTo: y@example.net\nDate: 2 Feb 2002 00:00:00\nSubject: other\n\n"
      "other body\n");
  ImageBuilder image;
  image.Put(0, TwoBlockChainOutOfOrder(first, second));
  // The block behind the chain's first one begins a message of its own.
  image.Put(4096 + 528 * 4,
            StoreBlock(528 * 4, static_cast<std::uint32_t>(foreign.size()), 0, foreign));
  std::vector<MailRecordPtr> mine;
  for (const MailRecordPtr& record : ScanBytes(image.Bytes()).records)
    if (record->subject == "mine") mine.push_back(record);
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_EQ(mine[0]->from, "e@example.org");
  EXPECT_EQ(mine[0]->date, "2001-01-04 00:00:00");
  EXPECT_EQ(mine[0]->foundBy, FoundBy::Trace);
  EXPECT_EQ(mine[0]->StartByte(), 4096u + 528 * 3 + 16 + first.find("Received"));
  EXPECT_TRUE(mine[0]->Extent().inStore);
  EXPECT_NE(mine[0]->Body().bodyText.find("the body of mine"), std::string::npos);
}

// A message attached to a stored one, found by its trace line in a later block of the chain,
// is part of the stored message, wherever that chain's first block lies.
TEST(ShapeScannerTest, TraceFindInAStoreChainIsPartOfItsMessage) {
  const std::string outer = CrLf(
      "From: o@example.org\nTo: p@example.org\nDate: 4 Jan 2001 00:00:00\nSubject: outer\n"
      "Message-ID: <outer@example.org>\nMIME-Version: 1.0\n"
      "Content-Type: multipart/mixed; boundary=b1\n\n--b1\nContent-Type: message/rfc822\n\n");
  const std::string inner = CrLf(
      "X-Note: kept\nReceived: from a by b; 1 Jan 2001\nFrom: i@example.org\n"
      "To: j@example.org\nDate: 1 Jan 2001 00:00:00\nSubject: inner\n\ninner body\n--b1--\n");
  ASSERT_LE(outer.size(), 512u);
  ASSERT_LE(inner.size(), 512u);
  // The attached message's block lies before the first block.
  const auto records = ScanBytes(TwoBlockChainOutOfOrder(outer, inner)).records;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]->SubjectText(), u"outer");
  EXPECT_TRUE(records[0]->Extent().inStore);
  EXPECT_EQ(records[0]->partOf, -1);
  EXPECT_EQ(records[1]->SubjectText(), u"inner");
  EXPECT_EQ(records[1]->foundBy, FoundBy::Trace);
  EXPECT_EQ(records[1]->StartByte(), 4096u + 528 + 16 + 14);
  EXPECT_EQ(records[1]->partOf, 0);
}

}  // namespace
}  // namespace quillon

namespace quillon {
namespace {

// A mail at the very first byte of the source: its first line is known to be there.
TEST(ShapeScannerTest, TraceFindAtTheSourceStartKnowsItsFirstLine) {
  ImageBuilder image;
  image.Put(0, test::SampleMail("First")).Resize(16384);
  const auto records = ScanBytes(image.Bytes()).records;
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->foundBy, FoundBy::Trace);
  EXPECT_TRUE(records[0]->Extent().textStartKnown);
  EXPECT_EQ(records[0]->Extent().textStart, 0u);
}

}  // namespace
}  // namespace quillon
