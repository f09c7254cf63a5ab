// Base64 attachments are taken a run of lines at a time: the sizes listed, the mail found behind
// one, and the ending must come out as a line at a time would give them, on both of the scan's
// paths (the trace walk, the shape scan's following), across chunk boundaries and beside lines
// that stop a run.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

std::string Base64Of(const std::string& bytes, std::size_t lineLength) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string encoded;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<std::uint8_t>(bytes[i + 2]);
    encoded += kAlphabet[(group >> 18) & 63];
    encoded += kAlphabet[(group >> 12) & 63];
    encoded += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
    encoded += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
  }
  std::string lines;
  for (std::size_t i = 0; i < encoded.size(); i += lineLength)
    lines += encoded.substr(i, lineLength) + "\r\n";
  return lines;
}

struct AttachmentRow {
  const char* name;
  bool trace;              // found by its trace line, else by its shape only
  std::size_t bytes;       // the attached file's size
  std::size_t lineLength;  // of the base64 lines
  std::uint32_t chunkSectors;
  bool closed;               // a closing boundary ends the mail; else the next mail does
  std::string betweenLines;  // put between the 10th and 11th base64 line
  std::int64_t listedSize;   // -1: the file's size
};

std::string MailWithAttachment(const AttachmentRow& row) {
  std::mt19937 random(static_cast<unsigned>(row.bytes));
  std::string file(row.bytes, '\0');
  for (char& c : file) c = static_cast<char>(random());
  std::string lines = Base64Of(file, row.lineLength);
  if (!row.betweenLines.empty()) lines.insert((row.lineLength + 2) * 10, row.betweenLines);
  const std::string head =
      CrLf(std::string(row.trace ? "Received: from a by b; 1 Jan 2001\n" : "") +
           "From: Carol <carol@example.org>\n"
           "To: Dan <dan@example.net>\n"
           "Subject: With a file\n"
           "Date: Tue, 3 Nov 2020 08:00:00 +0100\n"
           "Message-ID: <file@example.org>\n"
           "MIME-Version: 1.0\n"
           "Content-Type: multipart/mixed; boundary=\"cut\"\n\n"
           "--cut\n"
           "Content-Type: text/plain\n\n"
           "See the file.\n"
           "--cut\n"
           "Content-Type: application/octet-stream; name=\"f.bin\"\n"
           "Content-Transfer-Encoding: base64\n\n");
  return head + lines + (row.closed ? CrLf("--cut--\n") : "");
}

const std::string kNextMail = CrLf(
    "Received: from c by d; 2 Jan 2001\n"
    "From: Erin <erin@example.org>\n"
    "To: Dan <dan@example.net>\n"
    "Subject: Behind the file\n"
    "Date: Wed, 4 Nov 2020 08:00:00 +0100\n\n"
    "Next.\n");

class AttachmentLinesTest : public testing::TestWithParam<AttachmentRow> {};

TEST_P(AttachmentLinesTest, ListsTheFileAndFindsTheMailBehind) {
  const AttachmentRow& row = GetParam();
  const std::string mail = MailWithAttachment(row);
  // A trace line counts behind a line break; a shape find starts behind zeros.
  const std::string front = row.trace ? "junk\r\n" : "";
  const std::uint64_t at = row.trace ? 700 : 4096;
  ImageBuilder image;
  image.Put(at - front.size(), front)
      .Put(at, mail)
      .Put(at + mail.size(), kNextMail)
      .Resize(at + mail.size() + 64 * 1024);
  for (const bool strict : {false, true}) {
    if (strict && !row.trace) continue;
    ScanOptions options;
    options.strict = strict;
    options.chunkSectors = row.chunkSectors;
    const auto records = ScanBytes(image.Bytes(), options).records;
    ASSERT_EQ(records.size(), 2u) << (strict ? "strict" : "default");
    EXPECT_EQ(records[0]->SubjectText(), u"With a file");
    EXPECT_EQ(records[1]->SubjectText(), u"Behind the file");
    const MailBody body = records[0]->Body();
    EXPECT_EQ(body.bodyText, "See the file.");
    ASSERT_EQ(body.parts.size(), 1u) << (strict ? "strict" : "default");
    EXPECT_EQ(body.parts[0].size,
              row.listedSize < 0 ? static_cast<std::int64_t>(row.bytes) : row.listedSize)
        << (strict ? "strict" : "default");
    if (row.closed) {
      // The text ends behind the closing boundary line.
      EXPECT_EQ(body.textEnd, at + mail.size()) << (strict ? "strict" : "default");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AttachmentLinesTest,
    testing::Values(
        AttachmentRow{"TraceFind", true, 100000, 76, 2048, true, "", -1},
        AttachmentRow{"ShapeFind", false, 100000, 76, 2048, true, "", -1},
        AttachmentRow{"LongLines", true, 60000, 1000, 2048, true, "", -1},
        AttachmentRow{"ShortLines", true, 3000, 4, 2048, true, "", -1},
        AttachmentRow{"EveryFewSectorsAChunk", true, 300000, 76, 8, true, "", -1},
        AttachmentRow{"ShapeFindAcrossChunks", false, 300000, 76, 8, true, "", -1},
        // A line of other bytes in the middle is taken on its own; its characters count.
        AttachmentRow{"ForeignLineInside", true, 20000, 76, 2048, true, "Not base64!\r\n", 20007},
        AttachmentRow{"EmptyLineInside", true, 20000, 76, 2048, true, "\r\n", -1},
        AttachmentRow{"ClosedByTheNextMail", true, 50000, 76, 2048, false, "", -1}),
    [](const testing::TestParamInfo<AttachmentRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
