// The lines of an attachment that is not base64 (a 7bit file, an attached message) are taken a
// run at a time: the size listed is its bytes whatever the lines start with, a trace line in it
// still begins a mail, and a boundary still ends it, on both of the scan's paths (the trace walk,
// the shape scan's following) and across chunk boundaries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

// Lines that begin in every way a run must look at, none a trace line or a boundary of the mail.
std::vector<std::string> MixedLines(std::size_t count) {
  static const std::vector<std::string> kStarts = {"plain words",
                                                   "",
                                                   "Return-Path: <a@b>",
                                                   "r",
                                                   "-- ",
                                                   "---",
                                                   "\tindented",
                                                   "caf\xE9",
                                                   "x\x01y",
                                                   "",
                                                   "",
                                                   "From me",
                                                   "--cutting",
                                                   "page\fbreak",
                                                   "R",
                                                   "rest",
                                                   "\x7F",
                                                   " folded"};
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i)
    lines.push_back(kStarts[i % kStarts.size()] + (i % 3 == 0 ? "" : " " + std::to_string(i)));
  return lines;
}

// Lines of 60 bytes, none that stops a run.
std::vector<std::string> EvenLines(std::size_t count) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i) {
    std::string line = "line " + std::to_string(i) + " of the file";
    lines.push_back(line + std::string(60 - line.size(), '.'));
  }
  return lines;
}

struct OpaqueRow {
  const char* name;
  bool trace;  // found by its trace line, else by its shape only
  std::vector<std::string> lines;
  const char* partType;
  std::uint32_t chunkSectors;
  bool closed;  // a closing boundary ends the mail; else the next mail does
};

std::string MailWithOpaquePart(const OpaqueRow& row) {
  std::string part;
  for (const std::string& line : row.lines) part += line + "\r\n";
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
           "Content-Type: " +
           row.partType + "\nContent-Transfer-Encoding: 7bit\n\n");
  return head + part + (row.closed ? CrLf("--cut--\n") : "");
}

std::int64_t PartBytes(const std::vector<std::string>& lines) {
  std::int64_t bytes = 0;
  for (const std::string& line : lines) bytes += static_cast<std::int64_t>(line.size()) + 2;
  return bytes - 2;  // the last CR LF is the boundary's, or the next mail's
}

const std::string kNextMail = CrLf(
    "Received: from c by d; 2 Jan 2001\n"
    "From: Erin <erin@example.org>\n"
    "To: Dan <dan@example.net>\n"
    "Subject: Behind the file\n"
    "Date: Wed, 4 Nov 2020 08:00:00 +0100\n\n"
    "Next.\n");

class OpaquePartLinesTest : public testing::TestWithParam<OpaqueRow> {};

TEST_P(OpaquePartLinesTest, ListsThePartBytesAndFindsTheMailBehind) {
  const OpaqueRow& row = GetParam();
  const std::string mail = MailWithOpaquePart(row);
  const std::string front = row.trace ? "junk\r\n" : "";
  const std::uint64_t at = row.trace ? 700 : 4096;
  ImageBuilder image;
  image.Put(at - front.size(), front)
      .Put(at, mail)
      .Put(at + mail.size(), kNextMail)
      .Resize(at + mail.size() + 64 * 1024);
  for (const bool strict : {false, true}) {
    if (strict && !row.trace) continue;
    const char* mode = strict ? "strict" : "default";
    ScanOptions options;
    options.strict = strict;
    options.chunkSectors = row.chunkSectors;
    const auto records = ScanBytes(image.Bytes(), options).records;
    ASSERT_EQ(records.size(), 2u) << mode;
    EXPECT_EQ(records[0]->SubjectText(), u"With a file") << mode;
    EXPECT_EQ(records[1]->SubjectText(), u"Behind the file") << mode;
    const MailBody body = records[0]->Body();
    EXPECT_EQ(body.bodyText, "See the file.") << mode;
    ASSERT_EQ(body.parts.size(), 1u) << mode;
    EXPECT_EQ(body.parts[0].size, PartBytes(row.lines)) << mode;
    if (row.closed) {
      EXPECT_EQ(body.textEnd, at + mail.size()) << mode;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OpaquePartLinesTest,
    testing::Values(
        OpaqueRow{"TraceFind", true, EvenLines(2000), "application/octet-stream", 2048, true},
        OpaqueRow{"ShapeFind", false, EvenLines(2000), "application/octet-stream", 2048, true},
        OpaqueRow{"EveryStart", true, MixedLines(3000), "application/octet-stream", 2048, true},
        OpaqueRow{"EveryStartShapeFind", false, MixedLines(3000), "application/octet-stream", 2048,
                  true},
        OpaqueRow{"EveryFewSectorsAChunk", true, MixedLines(6000), "application/x-data", 8, true},
        OpaqueRow{"ShapeFindAcrossChunks", false, EvenLines(6000), "application/x-data", 8, true},
        OpaqueRow{"AttachedMessage", true, MixedLines(900), "message/rfc822", 2048, true},
        OpaqueRow{"ClosedByTheNextMail", true, MixedLines(1500), "application/octet-stream", 2048,
                  false},
        OpaqueRow{"ClosedByTheNextMailAcrossChunks", true, EvenLines(3000),
                  "application/octet-stream", 8, false}),
    [](const testing::TestParamInfo<OpaqueRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
