#include "scan/lines/header_block_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "scan/lines/header_text.h"

namespace quillon {
namespace {

enum class Rules { Walk, Shape };

struct ReaderRow {
  const char* name;
  Rules rules;
  std::string text;  // a '#' stands where a mail-store block header goes (moved to 4-aligned)
  HeaderLineKind kind;
  std::string value;  // Field rows: the value read
  std::string rest;   // Field rows: how the bytes read on from where the value ended
};

std::vector<std::uint8_t> BytesOf(std::string text) {
  if (const std::size_t mark = text.find('#'); mark != std::string::npos) {
    text.erase(mark, 1);
    const std::string header("\x10\x00\x00\x00\x00\x02\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00",
                             16);
    text.insert((mark + 3) / 4 * 4, header);
  }
  text.append(64, '\0');
  return {text.begin(), text.end()};
}

class HeaderBlockReaderTest : public testing::TestWithParam<ReaderRow> {};

TEST_P(HeaderBlockReaderTest, ReadsTheFirstLine) {
  const ReaderRow& row = GetParam();
  const std::vector<std::uint8_t> data = BytesOf(row.text);
  const CarveBuffer chunk{data.data(), data.size(), 0};
  SteppedBytes stepped(chunk);
  HeaderBlockReader reader = row.rules == Rules::Walk
                                 ? HeaderBlockReader(stepped, kWalkHeaderRules)
                                 : HeaderBlockReader(chunk, kShapeHeaderRules, data.size());
  const HeaderLine line = reader.Look(0, "b1");
  ASSERT_EQ(line.kind, row.kind);
  if (line.kind != HeaderLineKind::Field) return;
  std::size_t lineStart = 0;
  const HeaderValue value = reader.ReadValue(lineStart, line);
  EXPECT_EQ(value.text, row.value);
  const CarveBuffer bytes = reader.Bytes();
  ASSERT_LE(value.end, bytes.size);
  const std::string rest(reinterpret_cast<const char*>(bytes.data + value.end),
                         std::min(row.rest.size(), bytes.size - value.end));
  EXPECT_EQ(rest, row.rest);
}

const std::string k511(511, 'x');
const std::string k512(512, 'x');

// A value of `count` folded lines "1" to "count", each behind a tab, and the value they join to.
std::string FoldedLines(int count) {
  std::string text = "Subject: 0\r\n";
  for (int i = 1; i <= count; ++i) text += "\t" + std::to_string(i) + " \r\n";
  return text + "To: b\r\n";
}
std::string JoinedFolds(int count) {
  std::string value = "0";
  for (int i = 1; i <= count; ++i) value += " " + std::to_string(i);
  return value;
}
// A line and a fold one byte short of the longest value the shape scan unfolds: one more fold
// still joins.
const std::string kLongLine(8000, 'y');
const std::string kLongFold(kMaxUnfoldedValue - 8000 - 2, 'z');

INSTANTIATE_TEST_SUITE_P(
    Rows, HeaderBlockReaderTest,
    testing::Values(
        // RFC 5322 2.2.3: a folded value is joined with one blank.
        ReaderRow{"FoldedSubjectWalk", Rules::Walk, "Subject: a long\r\n  subject\r\n\r\n",
                  HeaderLineKind::Field, "a long subject", "\r\n\r\n"},
        ReaderRow{"FoldedSubjectShape", Rules::Shape, "Subject: a long\r\n  subject\r\n\r\n",
                  HeaderLineKind::Field, "a long subject", "\r\n"},
        // The walk unfolds only the addressing fields; the shape scan every field.
        ReaderRow{"FoldedDateWalk", Rules::Walk, "Date: 1 Jan\r\n 2001\r\n", HeaderLineKind::Field,
                  "1 Jan", "\r\n 2001"},
        // More folds than the reader gathers before it writes them.
        ReaderRow{"EightFoldsShape", Rules::Shape, FoldedLines(8), HeaderLineKind::Field,
                  JoinedFolds(8), "To: b"},
        ReaderRow{"NineFoldsShape", Rules::Shape, FoldedLines(9), HeaderLineKind::Field,
                  JoinedFolds(9), "To: b"},
        ReaderRow{"TwentyFoldsShape", Rules::Shape, FoldedLines(20), HeaderLineKind::Field,
                  JoinedFolds(20), "To: b"},
        // Past the longest value the folds are read over but no longer joined.
        ReaderRow{"FoldsPastTheLongestValueShape", Rules::Shape,
                  "Subject: " + kLongLine + "\r\n " + kLongFold + "\r\n a\r\n b\r\nTo: c\r\n",
                  HeaderLineKind::Field, kLongLine + " " + kLongFold + " a", "To: c"},
        ReaderRow{"FoldedDateShape", Rules::Shape, "Date: 1 Jan\r\n 2001\r\nTo: b\r\n",
                  HeaderLineKind::Field, "1 Jan 2001", "To: b"},
        // The 511-byte rule holds for the walk: a longer value reads as empty, and the walk goes
        // on behind the field's name.
        ReaderRow{"Value511Walk", Rules::Walk, "To: " + k511 + "\r\n", HeaderLineKind::Field, k511,
                  "\r\n"},
        ReaderRow{"Value512Walk", Rules::Walk, "To: " + k512 + "\r\n", HeaderLineKind::Field, "",
                  "xx"},
        ReaderRow{"Value512Shape", Rules::Shape, "To: " + k512 + "\r\n", HeaderLineKind::Field,
                  k512, ""},
        ReaderRow{"FoldLongerThanALineWalk", Rules::Walk, "To: a\r\n " + k512 + "\r\n",
                  HeaderLineKind::Field, "a", "\r\n "},
        // The walk wants the blank mail programs write behind the colon.
        ReaderRow{"NoBlankAfterColonWalk", Rules::Walk, "From:a@x\r\n", HeaderLineKind::Other, "",
                  ""},
        ReaderRow{"NoBlankAfterColonShape", Rules::Shape, "From:a@x\r\n", HeaderLineKind::Field,
                  "a@x", ""},
        ReaderRow{"BlanksAroundValueWalk", Rules::Walk, "Subject:   x  \r\n", HeaderLineKind::Field,
                  "  x  ", "\r\n"},
        ReaderRow{"BlanksAroundValueShape", Rules::Shape, "Subject:   x  \r\n",
                  HeaderLineKind::Field, "x", ""},
        // A block header inside a folded line: the walk steps over it; to the shape scan (which
        // reads store text with its block headers gone) the line holds bytes that are no text.
        ReaderRow{"BlockHeaderInFoldWalk", Rules::Walk, "Subject: first\r\n se#cond\r\nDate: x\r\n",
                  HeaderLineKind::Field, "first second", "\r\nDate: x"},
        ReaderRow{"BlockHeaderInFoldShape", Rules::Shape,
                  "Subject: first\r\n se#cond\r\nDate: x\r\n", HeaderLineKind::Field, "first",
                  " se"},
        ReaderRow{"ControlByteWalk", Rules::Walk, "From: a\x01z\r\n", HeaderLineKind::Field, "a",
                  "\x01z"},
        // A stray control byte or two leave a field line readable to the shape scan; more are
        // binary bytes.
        ReaderRow{"ControlByteShape", Rules::Shape, "From: a\x01z\r\n", HeaderLineKind::Field,
                  "a\x01z", ""},
        ReaderRow{"TwoControlBytesShape", Rules::Shape,
                  "Subject: a\x07"
                  "b\x01\r\nTo: c\r\n",
                  HeaderLineKind::Field,
                  "a\x07"
                  "b\x01",
                  "To: c"},
        // One NUL between a value's bytes is a stray byte: the value ends at it, as the walk's.
        ReaderRow{"NulInValueShape", Rules::Shape, std::string("Subject: a\0b\r\nTo: c\r\n", 21),
                  HeaderLineKind::Field, "a", "To: c"},
        ReaderRow{"NulAndControlByteShape", Rules::Shape,
                  std::string("Subject: a\0b\x01\r\nTo: c\r\n", 22), HeaderLineKind::Field, "a",
                  "To: c"},
        // Where NULs come by more than one, or nothing follows one, the text stops there (a
        // file's slack): the line is no field's.
        ReaderRow{"TwoNulsInValueShape", Rules::Shape,
                  std::string("Subject: a\0b\0c\r\nTo: c\r\n", 23), HeaderLineKind::Unreadable, "",
                  ""},
        ReaderRow{"NulAtValueEndShape", Rules::Shape, std::string("Subject: ab\0\r\nTo: c\r\n", 21),
                  HeaderLineKind::Unreadable, "", ""},
        ReaderRow{"NulAndTwoControlBytesShape", Rules::Shape,
                  std::string("Subject: a\0b\x01\x02\r\nTo: c\r\n", 23), HeaderLineKind::Unreadable,
                  "", ""},
        ReaderRow{"ThreeControlBytesShape", Rules::Shape, "From: a\x01\x02\x03z\r\n",
                  HeaderLineKind::Unreadable, "", ""},
        // Binary bytes in a line that is no field: the text has stopped there.
        ReaderRow{"ControlByteOutsideAFieldShape", Rules::Shape, "no field\x01\r\n",
                  HeaderLineKind::Empty, "", ""},
        ReaderRow{"BinaryLineShape", Rules::Shape, "\x93\x01\xfe\x7f\x02\r\nFrom: a\r\n",
                  HeaderLineKind::Empty, "", ""},
        ReaderRow{"ControlBytesInAFoldShape", Rules::Shape, "\tmore\x01\x02\x03\r\n",
                  HeaderLineKind::Unreadable, "", ""},
        ReaderRow{"BinaryLineWithoutAnEndShape", Rules::Shape, std::string(9000, '\x01'),
                  HeaderLineKind::Unreadable, "", ""},
        // A name with raw 8-bit bytes is a field line no table names.
        ReaderRow{"EightBitNameShape", Rules::Shape,
                  "X-R\xc3\xa9"
                  "f: 1\r\n\tmore\r\n",
                  HeaderLineKind::Field, "1", "\tmore"},
        ReaderRow{"EightBitNameWalk", Rules::Walk,
                  "X-R\xc3\xa9"
                  "f: 1\r\n",
                  HeaderLineKind::Other, "", ""},
        ReaderRow{"EightBitWordsShape", Rules::Shape,
                  "Gr\xfc\xdf"
                  "e an alle: 1\r\n",
                  HeaderLineKind::Other, "", ""},
        // The walk knows only the fields of the table; the shape scan reads any field line
        // (and its folds pass it by: only kept fields are unfolded).
        ReaderRow{"UnknownFieldWalk", Rules::Walk, "X-Mailer: m\r\n\tmore\r\n",
                  HeaderLineKind::Other, "", ""},
        ReaderRow{"UnknownFieldShape", Rules::Shape, "X-Mailer: m\r\n\tmore\r\n",
                  HeaderLineKind::Field, "m", "\tmore"},
        ReaderRow{"LowerCaseFieldWalk", Rules::Walk, "from: a@x\r\n", HeaderLineKind::Field, "a@x",
                  "\r\n"},
        ReaderRow{"EmptyLineWalk", Rules::Walk, "\r\nFrom: a\r\n", HeaderLineKind::Empty, "", ""},
        ReaderRow{"EmptyLineShape", Rules::Shape, "\r\nFrom: a\r\n", HeaderLineKind::Empty, "", ""},
        // Where the text stops at a NUL the shape scan's block ends; the walk reads on.
        ReaderRow{"NulAtLineStartShape", Rules::Shape, std::string("\0\0From: a\r\n", 11),
                  HeaderLineKind::Empty, "", ""},
        ReaderRow{"NulAtLineStartWalk", Rules::Walk, std::string("\0\0From: a\r\n", 11),
                  HeaderLineKind::Other, "", ""},
        ReaderRow{"ContinuationWalk", Rules::Walk, "\tmore\r\n", HeaderLineKind::Continuation, "",
                  ""},
        ReaderRow{"ContinuationShape", Rules::Shape, " more\r\n", HeaderLineKind::Continuation, "",
                  ""},
        // Only the walk ends a header block at a boundary line of its multipart.
        ReaderRow{"BoundaryLineWalk", Rules::Walk, "--B1\r\n", HeaderLineKind::Boundary, "", ""},
        ReaderRow{"BoundaryLineShape", Rules::Shape, "--b1\r\n", HeaderLineKind::Other, "", ""},
        // A block's last line that its file's end cut short: zeros or old bytes behind it, no
        // line break. The line ends where its text stops, and the block's reader finds the text
        // stopped there; a short run of text into old bytes is none.
        ReaderRow{"LastLineIntoZerosShape", Rules::Shape, "Subject: cut short",
                  HeaderLineKind::Field, "cut short", std::string(4, '\0')},
        ReaderRow{"LastLineIntoOldBytesShape", Rules::Shape, "Subject: cut short\x01\x9c\x02\x03",
                  HeaderLineKind::Field, "cut short", "\x01\x9c"},
        ReaderRow{"ShortLineIntoOldBytesShape", Rules::Shape, "X-A: b\x01\x9c\x02\x03",
                  HeaderLineKind::Unreadable, "", ""}),
    [](const testing::TestParamInfo<ReaderRow>& row) { return row.param.name; });

struct WalkNameRow {
  const char* name;
  std::string text;
  std::optional<HeaderField> field;  // none: the line is no field line of the table
};

class WalkFieldNameTest : public testing::TestWithParam<WalkNameRow> {};

// The walk names a line by the table's prefix, letters in either case and every other byte as
// it is: a byte that differs from one by the 0x20 bit alone is no match.
TEST_P(WalkFieldNameTest, NamesTheField) {
  const WalkNameRow& row = GetParam();
  const std::vector<std::uint8_t> data = BytesOf(row.text);
  SteppedBytes stepped(CarveBuffer{data.data(), data.size(), 0});
  const HeaderLine line = HeaderBlockReader(stepped, kWalkHeaderRules).Look(0);
  EXPECT_EQ(line.field, row.field);
  EXPECT_EQ(line.kind, row.field ? HeaderLineKind::Field : HeaderLineKind::Other);
  if (row.field) {
    EXPECT_EQ(line.valueStart, LinePrefix(*row.field).size());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, WalkFieldNameTest,
    testing::Values(WalkNameRow{"UpperCase", "RECEIVED: x\r\n", HeaderField::Received},
                    WalkNameRow{"MixedCase", "mIME-vERSION: 1.0\r\n", HeaderField::MimeVersion},
                    WalkNameRow{"ShortName", "cc: a\r\n", HeaderField::Cc},
                    WalkNameRow{"LongestName", "Content-Transfer-Encoding: 7bit\r\n",
                                HeaderField::TransferEncoding},
                    WalkNameRow{"SameFirstLetterAsALongerName", "Content-Type: a\r\n",
                                HeaderField::ContentType},
                    WalkNameRow{"ThirdNameOfItsFirstLetter", "x-uidl: 7\r\n", HeaderField::Uidl},
                    WalkNameRow{"SecondNameOfItsFirstLetter", "Delivered-To: a\r\n",
                                HeaderField::DeliveredTo},
                    WalkNameRow{"NameWithoutItsBlank", "Date:x\r\n", std::nullopt},
                    WalkNameRow{"ControlByteForTheColon", "From\x1a a\r\n", std::nullopt},
                    WalkNameRow{"NulForTheBlank", std::string("Subject:\0a\r\n", 12), std::nullopt},
                    WalkNameRow{"ControlByteForTheHyphen", "X\x0dUIDL: 7\r\n", std::nullopt},
                    WalkNameRow{"AtSignForALetter", "Fr@m: a\r\n", std::nullopt},
                    WalkNameRow{"EightBitByteForALetter", "T\xcf: a\r\n", std::nullopt},
                    WalkNameRow{"FieldNoTableNames", "Reply-To: a\r\n", std::nullopt},
                    WalkNameRow{"CutAtTheBufferEnd", "Cc:", std::nullopt}),
    [](const testing::TestParamInfo<WalkNameRow>& row) { return row.param.name; });

// The shape scan's reader asks about the line a value's unfolding stopped at: it reads as it
// reads to a reader that has read nothing yet.
class LineBehindAValueTest : public testing::TestWithParam<std::string> {};

TEST_P(LineBehindAValueTest, ReadsAsToAFreshReader) {
  const std::vector<std::uint8_t> data = BytesOf(GetParam());
  const CarveBuffer chunk{data.data(), data.size(), 0};
  HeaderBlockReader reader(chunk, kShapeHeaderRules, data.size());
  std::size_t lineStart = 0;
  const HeaderValue value = reader.ReadValue(lineStart, reader.Look(0));
  const HeaderLine behind = reader.Look(value.end);
  const HeaderLine fresh = HeaderBlockReader(chunk, kShapeHeaderRules, data.size()).Look(value.end);
  EXPECT_EQ(behind.kind, fresh.kind);
  EXPECT_EQ(behind.field, fresh.field);
  EXPECT_EQ(behind.valueStart, fresh.valueStart);
  EXPECT_EQ(behind.line.begin, fresh.line.begin);
  EXPECT_EQ(behind.line.end, fresh.line.end);
  EXPECT_EQ(behind.line.next, fresh.line.next);
  EXPECT_EQ(behind.line.binary, fresh.line.binary);
  // A line asked about anew after another reads as its own, not as the one kept.
  EXPECT_EQ(reader.Look(0).field, HeaderField::Subject);
}

INSTANTIATE_TEST_SUITE_P(Blocks, LineBehindAValueTest,
                         testing::Values("Subject: a\r\n b\r\nTo: c\r\n\r\n",
                                         "Subject: a\r\nX-Mailer: m\r\n\r\n",
                                         "Subject: a\r\n\r\nbody\r\n",
                                         "Subject: a\n b\nFrom: c\n\n",
                                         "Subject: a\r\n b\r\nno field\x01\x02\x03\r\n"));

struct KeptRow {
  const char* name;
  std::string contentType;
  std::string type;
  std::string boundary;
};

class SetContentTypeTest : public testing::TestWithParam<KeptRow> {};

TEST_P(SetContentTypeTest, SplitsTheBoundaryOff) {
  PendingMail headers;
  SetContentType(headers, GetParam().contentType);
  EXPECT_EQ(headers.contentType, GetParam().type);
  EXPECT_EQ(headers.boundary, GetParam().boundary);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SetContentTypeTest,
    testing::Values(KeptRow{"Plain", "text/plain; charset=x", "text/plain; charset=x", ""},
                    KeptRow{"Quoted", "multipart/mixed; boundary=\"q\"", "multipart/mixed;", "q"},
                    KeptRow{"AnyCase", "multipart/mixed; BOUNDARY=q", "multipart/mixed;", "q"},
                    KeptRow{"BoundaryAlone", "boundary=q", "", "q"},
                    // The first "boundary=" counts, behind other parameters and their '='.
                    KeptRow{"BehindOtherParameters", "multipart/mixed; a=b; c=d; Boundary=q",
                            "multipart/mixed; a=b; c=d;", "q"},
                    KeptRow{"TwoBoundaries", "multipart/mixed; boundary=q; boundary=r",
                            "multipart/mixed;", "q"},
                    KeptRow{"EqualsSignTooEarly", "a=boundary", "a=boundary", ""},
                    KeptRow{"NameWithoutEqualsSign", "multipart/mixed; boundary",
                            "multipart/mixed; boundary", ""},
                    KeptRow{"NameOneByteOther", "multipart/mixed; boundarx=q",
                            "multipart/mixed; boundarx=q", ""}),
    [](const testing::TestParamInfo<KeptRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
