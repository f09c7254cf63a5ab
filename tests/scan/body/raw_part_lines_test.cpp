// A part of raw bytes ("Content-Transfer-Encoding: binary") runs on over its NULs and control
// bytes to its boundary line, on both of the scan's paths, and the mail is read back whole; one
// whose boundary line never comes, or comes beyond the reach, ends at its NUL as before, and
// --strict stays as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/lines/raw_part.h"
#include "scan/mail_reader.h"
#include "source/memory_source.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using namespace std::string_literals;
using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

// Bytes of every value, runs of NULs at line starts (the walk reads the lines behind a CR LF),
// bare line feeds and dashes among them; no NUL comes alone.
std::string RawBytes(std::size_t size) {
  std::string bytes = "PK\x03\x04"s;
  std::uint32_t state = 12345;
  while (bytes.size() < size) {
    state = state * 1103515245 + 12345;
    bytes += static_cast<char>(std::max<std::uint32_t>(state >> 24, 1));
    if (bytes.size() % 97 == 0) bytes += "\r\n\0\0\0\0\0\0\0\0"s;
    if (bytes.size() % 131 == 0) bytes += "\n--";
  }
  return bytes.substr(0, size);
}

struct RawRow {
  const char* name;
  bool trace;            // found by its trace line, else by its shape only
  const char* encoding;  // of the raw part
  std::size_t rawSize;
  bool closed;  // the boundary line comes behind the bytes
  bool whole;   // the mail runs to its closing boundary line
  std::uint32_t chunkSectors = kChunkSectors;
  // In front of the bytes: a first NUL behind text or 8-bit bytes alone on its line, as in a
  // file that opens with a line of text.
  std::string lead = {};
};

std::string MailHead(bool trace) {
  return CrLf(std::string(trace ? "Received: from a by b; 1 Jan 2001\n" : "") +
              "From: Carol <carol@example.org>\n"
              "To: Dan <dan@example.net>\n"
              "Subject: With raw bytes\n"
              "Date: Tue, 3 Nov 2020 08:00:00 +0100\n"
              "Message-ID: <raw@example.org>\n"
              "MIME-Version: 1.0\n"
              "Content-Type: multipart/mixed; boundary=\"cut\"\n\n"
              "--cut\n"
              "Content-Type: text/plain\n\n"
              "See the file.\n"
              "--cut\n"
              "Content-Type: application/octet-stream; name=\"blob.bin\"\n");
}

// Bytes 1 to 7 as the reader hands them out: as blanks.
std::string Blanked(std::string text) {
  for (char& byte : text)
    if (byte > 0 && byte < 8) byte = ' ';
  return text;
}

class RawPartLinesTest : public testing::TestWithParam<RawRow> {};

TEST_P(RawPartLinesTest, RunsToItsBoundaryLine) {
  const RawRow& row = GetParam();
  const std::string head =
      MailHead(row.trace) + "Content-Transfer-Encoding: " + row.encoding + "\r\n\r\n";
  const std::string raw = row.lead + RawBytes(row.rawSize);
  const std::string mail = head + raw + (row.closed ? "\r\n--cut--\r\n" : "");
  // The walk finds a trace line behind a line break.
  const std::string front = row.trace ? "\r\n" : "";
  const std::uint64_t at = 4096;
  ImageBuilder image;
  image.Put(at - front.size(), front).Put(at, mail).Resize(at + mail.size() + 256 * 1024);
  const std::uint64_t firstNul = at + head.size() + raw.find('\0');
  for (const bool strict : {false, true}) {
    if (strict && !row.trace) continue;
    const char* mode = strict ? "strict" : "default";
    ScanOptions options;
    options.strict = strict;
    options.chunkSectors = row.chunkSectors;
    const auto records = ScanBytes(image.Bytes(), options).records;
    ASSERT_EQ(records.size(), 1u) << mode;
    const MailBody body = records[0]->Body();
    EXPECT_EQ(body.bodyText, "See the file.") << mode;
    ASSERT_EQ(body.parts.size(), 1u) << mode;
    const bool whole = row.whole && !strict;
    if (whole) {
      EXPECT_EQ(body.parts[0].size, static_cast<std::int64_t>(raw.size())) << mode;
      EXPECT_EQ(body.textEnd, at + mail.size()) << mode;
    } else {
      // At the part's first NUL, as the scan ended such mails before.
      EXPECT_LT(body.parts[0].size, static_cast<std::int64_t>(raw.find('\0'))) << mode;
      EXPECT_EQ(body.textEnd, firstNul) << mode;
    }
    if (strict) continue;
    DataSource source;
    std::vector<std::uint8_t> bytes(image.Bytes().begin(), image.Bytes().end());
    source.OpenBackend(MakeMemoryBackend(bytes, {}), "memory.img");
    std::string text;
    ASSERT_TRUE(ReadMailText(*records[0], &source, text, nullptr));
    if (whole) {
      EXPECT_EQ(text.size(), mail.size());
      EXPECT_TRUE(text == Blanked(mail)) << "the saved text differs from the mail";
    } else {
      EXPECT_LE(text.size(), firstNul - at) << "no byte behind the part's first NUL";
      EXPECT_GE(text.size(), head.size()) << "the mail up to its raw part";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RawPartLinesTest,
    testing::Values(
        RawRow{"TraceFind", true, "binary", 1500, true, true},
        RawRow{"ShapeFind", false, "binary", 1500, true, true},
        RawRow{"UpperCase", true, "BINARY", 900, true, true},
        RawRow{"AcrossChunks", true, "binary", 9000, true, true, 16},
        RawRow{"ShapeFindAcrossChunks", false, "binary", 9000, true, true, 16},
        RawRow{
            "EightBitBytesBeforeTheFirstNul", false, "binary", 1500, true, true, kChunkSectors,
            "%PDF-1.4\n-\xe7\xba\xa8\xe2\xd8\xc3\x93\xb4\xe4\xe7\xba\xa8\xe2\xd8"
            "\xc3\x93\xb4\xe4\xe7\xba\xa8\xe2\xd8\xc3\x93\xb4\xe4\xe7\xba\xa8"
            "\xe2\xd8\xc3\x93\xb4\xe4\xe7\xba\xa8\xe2\xd8\xc3\x93\xb4\xe4\xe7\xba"
            "\xa8\xe2\xd8\xc3\x93\xb4\xe4\xe7\xba\xa8\xe2\xd8\xc3\x93\xb4\xe4x\0\0\0\0\0\0\0\0"s},
        RawRow{"TextBeforeTheFirstNul", false, "binary", 1500, true, true, kChunkSectors,
               "%PDF-1.4\r\n\0\0\0\0\0\0\0\0"s},
        RawRow{"JustInReach", true, "binary", kRawPartReach - 16, true, true},
        RawRow{"BeyondTheReach", true, "binary", kRawPartReach + 64, true, false},
        RawRow{"NeverClosed", true, "binary", 1500, false, false},
        RawRow{"ShapeFindNeverClosed", false, "binary", 1500, false, false},
        RawRow{"EightBitEndsAtItsNul", true, "8bit", 1500, true, false}),
    [](const testing::TestParamInfo<RawRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillon
