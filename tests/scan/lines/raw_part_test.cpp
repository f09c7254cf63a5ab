// Parts of raw bytes: which values name them, where such a part ends, and which NUL of a mail's
// text still ends it.
#include "scan/lines/raw_part.h"

#include <gtest/gtest.h>

#include <string>

#include "scan/lines/line_reader.h"

namespace quillon {
namespace {

using namespace std::string_literals;

constexpr std::size_t npos = std::string_view::npos;

TEST(RawPartTest, NamesRawBytes) {
  struct Row {
    const char* value;
    bool raw;
  } rows[] = {
      {"binary", true},
      {" BINARY\t", true},
      {"Binary", true},
      {"8bit", false},
      {"base64", false},
      {"binaryx", false},
      {"x-binary", false},
      {"", false},
      {"binar", false},
      {"7bit", false},
      {"quoted-printable", false},
  };
  for (const Row& row : rows) EXPECT_EQ(NamesRawBytes(row.value), row.raw) << row.value;
}

// Bytes of a raw part, NULs and a bare line feed among them.
const std::string kRaw = "PK\x03\x04\0\0\x01\n\xff\0--b\r\n\0\xfe"s;
const std::string kPart =
    "--b\r\nContent-Type: application/octet-stream\r\n"
    "Content-Transfer-Encoding: binary\r\n\r\n";

TEST(RawPartTest, RawPartEnd) {
  struct Row {
    const char* name;
    std::string text;
    std::size_t end;  // npos: no boundary line
  } rows[] = {
      {"NextPart", kRaw + "\r\n--b\r\nmore", kRaw.size()},
      {"Closing", kRaw + "\r\n--b--\r\n", kRaw.size()},
      {"BareLineFeed", kRaw + "\n--b\n", kRaw.size()},
      {"BlanksBehind", kRaw + "\r\n--b-- \r\n", kRaw.size()},
      {"LongerBoundaryIsNone", kRaw + "\r\n--bb\r\n", npos},
      {"LongerThenOwn", kRaw + "\r\n--bb\r\n\0x\r\n--b\r\n"s, kRaw.size() + 10},
      {"TextBehindIsNone", kRaw + "\r\n--b-- x\r\n", npos},
      {"Missing", kRaw + "\r\n\0\0\0"s, npos},
  };
  for (const Row& row : rows) EXPECT_EQ(RawPartEnd(row.text, 0, "b"), row.end) << row.name;
  EXPECT_EQ(RawPartEnd("x\r\n--b\r\n", 0, ""), npos) << "no boundary";
}

TEST(RawPartTest, FindRawPart) {
  const std::string head = "From: a\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n";
  const std::string text = "--b\r\nContent-Type: text/plain\r\n\r\nHi\r\n";
  const std::string base64 = "--b\r\nContent-Transfer-Encoding: base64\r\n\r\nAAAA\0\r\n"s;
  const std::string eightBit = "--b\r\nContent-Transfer-Encoding: 8bit\r\n\r\nx\0y\r\n"s;
  const std::string nested =
      "--b\r\nContent-Type: multipart/mixed; boundary=\"c\"\r\n\r\n"
      "--c\r\nContent-transfer-encoding:  Binary\r\n\r\n";
  const std::string close = "\r\n--b--\r\n";
  struct Row {
    const char* name;
    std::string text;
    std::size_t begin;  // npos: none
    std::size_t end;
  } rows[] = {
      {"SecondPart", head + text + kPart + kRaw + close, (head + text + kPart).size(),
       (head + text + kPart + kRaw).size()},
      {"FirstPartRightBehindTheHeader", head + kPart + kRaw + close, (head + kPart).size(),
       (head + kPart + kRaw).size()},
      {"Nested", head + nested + kRaw + "\r\n--c--" + close, (head + nested).size(),
       (head + nested + kRaw).size()},
      {"Base64IsNone", head + base64 + close, npos, npos},
      {"EightBitIsNone", head + eightBit + close, npos, npos},
      {"NeverClosed", head + kPart + kRaw + "\r\n\0\0"s, npos, npos},
      {"BoundaryBeyondTheReach", head + kPart + kRaw + std::string(kRawPartReach, '\0') + close,
       npos, npos},
      {"CutAtADashLine", head + kPart + kRaw + "\r\n--b", npos, npos},
      {"CutAtTheFirstDashLine", "From: a\r\n\r\n--b", npos, npos},
      {"SignatureDashesOpenNoPart",
       head + "-- \r\nContent-Transfer-Encoding: binary\r\n\r\n\0\r\n-- \r\n"s, npos, npos},
  };
  for (const Row& row : rows) {
    const RawPart part = FindRawPart(row.text);
    EXPECT_EQ(part.begin, row.begin) << row.name;
    EXPECT_EQ(part.end, row.end) << row.name;
  }
}

TEST(RawPartTest, FindsTheRawPartBehindAPosition) {
  const std::string head = "From: a\r\n\r\n";
  const std::string text = head + kPart + "one\0\r\n"s + kPart + kRaw + "\r\n--b--\r\n";
  const RawPart first = FindRawPart(text);
  ASSERT_TRUE(first.Found());
  const RawPart second = FindRawPart(text, first.end);
  ASSERT_TRUE(second.Found());
  EXPECT_EQ(second.begin, text.find(kRaw));
  EXPECT_FALSE(FindRawPart(text, second.end).Found());
}

// Lines read in order go on behind each raw part's boundary line break, and elsewhere where
// they stood.
TEST(RawPartTest, PastRawPart) {
  const std::string head = "From: a\r\n\r\n";
  const std::string text = head + kPart + "one\0\r\n"s + kPart + kRaw + "\r\n--b--\r\n";
  const std::size_t first = (head + kPart).size();
  const std::size_t second = text.find(kRaw);
  struct Row {
    const char* name;
    std::size_t at;
    std::size_t past;
  } rows[] = {
      {"InFrontOfTheParts", 0, 0},
      {"AtTheFirstPartsBody", first, first + 6},
      {"InsideTheFirstPart", first + 2, first + 6},
      {"OnItsBoundaryLine", first + 6, first + 6},
      {"InsideTheSecondPart", second + 5, second + kRaw.size() + 2},
      {"BehindBoth", text.size() - 3, text.size() - 3},
  };
  for (const Row& row : rows) {
    RawPart part = FindRawPart(text);
    EXPECT_EQ(PastRawPart(text, row.at, part), row.past) << row.name;
  }
}

// The NULs of a raw part end nothing; any other NUL ends the text as TextEndingNul says.
TEST(RawPartTest, MailEndingNul) {
  const std::string head = "From: a\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n";
  const std::string mail = head + kPart + kRaw + "\r\n--b--\r\n";
  const std::string eightBit =
      head + "--b\r\nContent-Transfer-Encoding: 8bit\r\n\r\n\0x\r\n--b--\r\n"s;
  const std::string neverClosed = head + kPart + kRaw + "\r\n\0\0\0"s;
  const std::string twoParts = head + kPart + kRaw + "\r\n" + kPart + kRaw + "\r\n--b--\r\n";
  struct Row {
    const char* name;
    std::string text;
    std::size_t nul;
  } rows[] = {
      {"SlackBehindTheMail", mail + "\0\0\0\0old"s, mail.size()},
      {"NoNul", mail + "epilogue", npos},
      {"TwoRawParts", twoParts + "\0\0\0\0"s, twoParts.size()},
      {"NulInAnEightBitPart", eightBit, eightBit.find('\0')},
      {"PartNeverClosed", neverClosed, TextEndingNul(neverClosed)},
  };
  for (const Row& row : rows) EXPECT_EQ(MailEndingNul(row.text), row.nul) << row.name;
  ASSERT_LT(TextEndingNul(mail), mail.size()) << "the raw part's NULs would end the text";
}

}  // namespace
}  // namespace quillon
