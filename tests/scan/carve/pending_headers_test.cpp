// What the walk gathered for one header block never reaches the next mail's record, whether the
// block before was a mail, was given up for its gap, or was cut short by another trace line.
#include <gtest/gtest.h>

#include <string>

#include "scan/carve/mail_carver.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

ScanOptions Strict() {
  ScanOptions options;
  options.strict = true;
  return options;
}

// A mail with none of the fields the blocks in front of it hold.
const std::string kLaterMail =
    CrLf("Received: by later\nFrom: a@x\nTo: b@x\nDate: 1 Jan 2001 00:00:00\n\nbody\n");
// The fields that must not carry over, each on a line of its own.
const std::string kOldFields = CrLf(
    "Subject: Old\nCc: c@x\nMessage-ID: <old@x>\nX-Attachment: old.doc, 100\n"
    "Content-Type: text/html\n");

TEST(PendingHeadersTest, NothingCarriesIntoTheNextMail) {
  struct Row {
    const char* name;
    std::string before;           // from byte 512 on
    std::size_t laterAt;          // where kLaterMail begins; 0: right behind `before`
    std::size_t recordsExpected;  // the later mail is the last of them
  } rows[] = {
      {"BehindAMail",
       CrLf("x\nReceived: by old\nFrom: o@x\nTo: p@x\nDate: 2 Feb 2002 00:00:00\n") + kOldFields +
           CrLf("\nold body\n"),
       2048, 2},
      // The block's lines stop; the next line lies more than 8 sectors behind its trace line.
      {"BehindABlockGivenUpForItsGap", CrLf("x\nReceived: by old\nFrom: o@x\n") + kOldFields,
       512 * 12, 1},
      // Another trace line restarts the block at once, whatever the lines between held.
      {"BehindAnotherTraceLine", CrLf("x\nReceived: by old\n") + kOldFields, 0, 1},
      {"BehindATraceLineWithAnAttachmentLine",
       CrLf("x\nReceived: by old\n\tfolded\nX-Attachment: old.doc, 100\n"), 0, 1},
      {"BehindTraceLinesWithAFieldBetween",
       CrLf("x\nReceived: by old\nReceived: by older\nSubject: Old\nReceived: by oldest\n"), 0, 1},
  };
  for (const Row& row : rows) {
    ImageBuilder image;
    image.Put(512, row.before);
    const std::size_t laterAt = row.laterAt == 0 ? 512 + row.before.size() : row.laterAt;
    // A line of text in front of the later mail, which the walk reads while a block is pending.
    const std::string text = CrLf("\nsome text of another file\n");
    if (row.laterAt != 0) image.Put(laterAt - text.size(), text);
    image.Put(laterAt, kLaterMail).Resize(16384);
    const auto outcome = ScanBytes(image.Bytes(), Strict());
    ASSERT_EQ(outcome.records.size(), row.recordsExpected) << row.name;
    const MailRecord& later = *outcome.records.back();
    EXPECT_EQ(later.StartByte(), laterAt) << row.name;
    EXPECT_EQ(std::string_view(later.subject), "") << row.name;
    EXPECT_EQ(std::string_view(later.cc), "") << row.name;
    EXPECT_EQ(std::string_view(later.messageId), "") << row.name;
    EXPECT_EQ(std::string_view(later.contentType), "") << row.name;
    EXPECT_TRUE(later.attachments.empty()) << row.name;
    EXPECT_EQ(std::string_view(later.from), "a@x") << row.name;
  }
}

}  // namespace
}  // namespace quillon
