// Mails whose first lines the walk up a block does not read as fields: a banner an export puts
// on top at a sector start behind old text, field lines with a blank in front of the colon or a
// name in 8-bit bytes, a mailbox separator among the fields; and the old lines that look alike
// (a forward's introducing line, a quoted separator, text a sector start cuts).
#include <gtest/gtest.h>

#include <string>

#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

// No trace line: what stands in front of the block decides alone.
const std::string kTop = CrLf("Message-ID: <1@a.example>\nMIME-Version: 1.0\n");
const std::string kRest = CrLf(
    "From: Ann <ann@a.example>\nTo: bob@b.example\nSubject: Odd lines\n"
    "Date: Mon, 3 Mar 2008 10:00:00 +0000\n\nBody line one.\nBody line two.\n");
const std::string kBinary("\x9c\xe1\x01\xfe\x03\x91\x02", 7);
const std::string kZeros(16, '\0');
constexpr std::uint64_t kSector = 16 * 512;

struct OddRow {
  const char* name;
  std::string before;   // old bytes right in front of the mail's text
  std::string opening;  // the mail's own lines in front of kTop (a banner, an odd field)
  std::string middle;   // lines between kTop and From
  std::uint64_t at;     // where the mail's text begins
  bool found;           // whether a mail that begins at `at` is found (else no mail at all)
};

void PrintTo(const OddRow& row, std::ostream* out) {
  *out << row.name;
}

class OddLinesTest : public testing::TestWithParam<OddRow> {};

TEST_P(OddLinesTest, MailBeginsWithItsOwnFirstLine) {
  const OddRow& row = GetParam();
  ImageBuilder image;
  image.Put(row.at - row.before.size(), row.before + row.opening + kTop + row.middle + kRest)
      .Resize(64 * 1024);
  const auto records = ScanBytes(image.Bytes()).records;
  if (!row.found) {
    EXPECT_TRUE(records.empty());
    return;
  }
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->StartByte(), row.at);
  EXPECT_EQ(records[0]->SubjectText(), u"Odd lines");
}

const std::string kBanner = CrLf("Exported by MailArchive 3.2 on 2011-05-04 10:22:31\n");

INSTANTIATE_TEST_SUITE_P(
    Lines, OddLinesTest,
    testing::Values(
        // Banners at a sector start.
        OddRow{"BannerBehindProseOnItsLine", "<p>old words cut in the mid", kBanner, "", kSector,
               true},
        OddRow{"BannerBehindALineEnd", "An old line of prose.\r\n", kBanner, "", kSector, true},
        OddRow{"CountBannerBehindProse", "old words cut", CrLf("Message 12 of 348\n"), "", kSector,
               true},
        OddRow{"ForwardIntroducerCutBySector", "old text\r\n---------- Forwarded me",
               CrLf("ssage ---------\n"), "", kSector, false},
        OddRow{"QuotedSeparatorCutBySector", "old text\r\n\r\n>From ann@a.exa",
               CrLf("mple  Mon Mar  3 10:00:00 2008\n"), "", kSector, false},
        OddRow{"TimeOfADateCutBySector", "old text\r\n03:4", CrLf("6:50 +0000\n"), "", kSector,
               false},
        OddRow{"SentenceBehindWordsCutBySector", "old text\r\nThe end of it",
               CrLf(" came. Then all\n"), "", kSector, false},
        // Field lines the walk's rule does not read.
        OddRow{"BlankBeforeColonInTheMiddle", kZeros, "", CrLf("X-Mailer :  Eudora Pro 4.2\n"),
               5000, true},
        OddRow{"EightBitNameInTheMiddle", kZeros, "", CrLf("\xc3\x84nderung: 1\n"), 5000, true},
        OddRow{"UtfEightNameInTheMiddle", kZeros, "",
               CrLf("\xd0\x9f\xd0\xbe\xd0\xbb\xd1\x83\xd1\x87\xd0\xb5\xd0\xbd\xd0\xbe: x\n"), 5000,
               true},
        // ... where a sector starts inside the value of such a line: a mail lies anywhere on a
        // disk, and no file begins there. (Two of them: one line of prose among the fields is
        // passed over as a value run on.)
        OddRow{"BlankBeforeColonCutBySector", kZeros, "",
               CrLf("X-Mailer :  Eudora Pro 4.2\nX-Sender\t: ann@a.example\n"),
               kSector - kTop.size() - 14, true},
        OddRow{"TabBeforeColonCutBySectorGluedToProse", "old words of prose, the garde", "",
               CrLf("X-Sender\t: ann@a.example\nX-Mailer :  Eudora Pro 4.2\n"),
               kSector - kTop.size() - 20, true},
        OddRow{"EightBitNameCutBySector", kZeros, "",
               CrLf("\xc3\x84nderung: 1 2 3\nX-Mailer :  Eudora Pro 4.2\n"),
               kSector - kTop.size() - 13, true},
        OddRow{"BlankBeforeColonFirstAtASector", "old words cut",
               CrLf("X-Sender\t: ann@a.example\n"), "", kSector, true},
        OddRow{"EightBitNameFirstBehindZeros", kZeros, CrLf("\xc9tat: lu\n"), "", 5000, true},
        OddRow{"BlankBeforeColonBehindStrayBytes", kBinary + "\xac\x35",
               CrLf("Return-Path : <ann@a.example>\n"), "", 5000, true},
        // Old header lines cut inside a name in capitals, glued to by the first line.
        OddRow{"KnownNameBehindANameCutInCapitals",
               CrLf("old text\n\nFrom: x@y.example\nSubject: copper time\nMIM"),
               CrLf("Reply-To: ann@a.example\n"), "", 5000, true},
        OddRow{"PrivateNameBehindCapitalsIsOneName",
               CrLf("old text\n\nFrom: x@y.example\nSubject: copper time\nMIM"),
               CrLf("X-Mailer: Mutt 1.5\n"), "", 5000, false},
        OddRow{"TraceLineBehindANameCutInCapitals",
               CrLf("old text\n\nFrom: x@y.example\nSubject: copper time\nMIM"),
               CrLf("Received: from a.example by b.example; Mon, 3 Mar 2008 10:00:00 +0000\n"), "",
               5000, true},
        // A mailbox separator among the fields, quoted or not.
        OddRow{"SeparatorAmongTheFields", kZeros, CrLf("Return-Path: <ann@a.example>\n"),
               CrLf("From ann@a.example Mon Mar  3 10:00:00 2008\n"), 5000, true},
        OddRow{"QuotedSeparatorAmongTheFields", kZeros, CrLf("Return-Path: <ann@a.example>\n"),
               CrLf(">From ann@a.example Mon Mar  3 10:00:00 2008\n"), 5000, true}),
    [](const testing::TestParamInfo<OddRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
