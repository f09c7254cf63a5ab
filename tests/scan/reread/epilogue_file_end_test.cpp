// Behind a multipart's closing boundary, the epilogue's last line may have no line break of its
// own where the mail's file ended (a closing and a name written without one): the zeros that pad
// the file's last sector tell. Whether the scan saw where the text ends or not, the re-reader
// keeps that line, and leaves out one that runs up to the sector's end as old bytes do.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "scan/reread/mail_extent_reader.h"
#include "source/memory_source.h"

namespace quillon::mail_reader {
namespace {

constexpr std::uint64_t kStart = 1024;
const std::string kMultipart =
    "From: a@x\r\nDate: d\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n\r\n"
    "part\r\n--b--\r\n";

struct EpilogueEndRow {
  const char* name;
  std::string epilogue;  // behind the closing line, up to the last line
  std::string lastLine;  // no line break behind it
  bool toSectorEnd;      // the last line runs up to its sector's end
  bool kept;             // the last line is the mail's
};

void PrintTo(const EpilogueEndRow& row, std::ostream* out) {
  *out << row.name;
}

// The text the re-reader gives for `bytes` at kStart in an image of zeros; the scan saw the
// mail's first line and, with `textEndSeen`, that its text ends at the NUL behind `bytes`.
std::string ReadBack(const std::string& bytes, bool textEndSeen) {
  MailRecord record;
  record.boundary = "b";
  MailExtent extent;
  extent.textStartKnown = true;
  extent.textStart = kStart;
  record.SetExtent(extent);
  MailBody body;
  body.closed = true;
  body.textEnd = textEndSeen ? kStart + bytes.size() : 0;
  record.PublishBody(std::move(body));
  std::string image(kStart, '\0');
  image += bytes;
  image.resize((image.size() / 512 + 2) * 512, '\0');
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(std::vector<std::uint8_t>(image.begin(), image.end())),
                     "memory.img");
  std::string saved;
  ReadKnownExtent(record, source, saved, nullptr);
  return saved;
}

class EpilogueFileEnd : public testing::TestWithParam<EpilogueEndRow> {};

TEST_P(EpilogueFileEnd, KeepsALastLineThatTheFilesEndPads) {
  const EpilogueEndRow& row = GetParam();
  const std::string head = kMultipart + row.epilogue;
  std::string line = row.lastLine;
  if (row.toSectorEnd) line.resize(512 - (kStart + head.size()) % 512, 'x');
  for (const bool textEndSeen : {true, false}) {
    SCOPED_TRACE(textEndSeen ? "text end seen" : "text end not seen");
    const std::string saved = ReadBack(head + line, textEndSeen);
    EXPECT_EQ(saved, row.kept ? head + line : head);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, EpilogueFileEnd,
    testing::Values(EpilogueEndRow{"NameRightBehindTheClosingLine", "", "Lee", false, true},
                    EpilogueEndRow{"LineBehindAnEmptyLine", "\r\n", "see you soon", false, true},
                    EpilogueEndRow{"LineUpToTheSectorsEnd", "\r\n", "Lee", true, false},
                    EpilogueEndRow{"BytesNoTextHolds", "\r\n", "L\x01\x02\x03\x04e", false, false}),
    [](const testing::TestParamInfo<EpilogueEndRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::mail_reader
