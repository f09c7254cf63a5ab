#include "text/encoded_words.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>

#include "support/test_helpers.h"
#include "text/code_page.h"

namespace quillon {
namespace {

// Untagged 8-bit text in these tables is Western European.
constexpr int kWestern = 1252;

using namespace std::string_view_literals;

struct TextCase {
  const char* label;
  std::string_view input;
  std::u16string_view expected;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const TextCase& row, std::ostream* out) {
  *out << row.label;
}

std::string LabelOf(const ::testing::TestParamInfo<TextCase>& row) {
  return row.param.label;
}

class DecodeEncodedWordTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(DecodeEncodedWordTest, DecodesWithTheWordsCharset) {
  const CharsetEntry* entry = FindCharsetForEncodedWord(GetParam().input);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(DecodeEncodedWord(*entry, GetParam().input, kWestern), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeEncodedWordTest,
    ::testing::Values(TextCase{"Base64Utf8", "=?utf-8?B?5Lit5paH?=", u"中文"},
                      TextCase{"QLatin1", "=?iso-8859-1?Q?caf=E9?=", u"café"},
                      // RFC 2047 4.2 (2): "_" is a space in a Q word.
                      TextCase{"QUnderscoreIsSpace", "=?iso-8859-1?Q?a_b?=", u"a b"},
                      TextCase{"LowerCaseMarkers", "=?utf-8?b?5Lit5paH?=", u"中文"},
                      TextCase{"LowerCaseQ", "=?utf-8?q?=E4=B8=AD?=", u"中"},
                      TextCase{"OneByteIsTooShort", "=?utf-8?B?QQ==?=", u""},
                      TextCase{"TwoBytesAreEnough", "=?utf-8?Q?ab?=", u"ab"},
                      TextCase{"UnknownEncodingMarker", "=?utf-8?X?abc?=", u""},
                      TextCase{"ResultTrimmed", "=?utf-8?Q?__ab__?=", u"ab"},
                      TextCase{"CutShort", "=?utf-8?B?5Lit5paH", u"中文"},
                      TextCase{"CutShortAfterQuestionMark", "=?utf-8?B?5Lit5paH?", u"中文"},
                      TextCase{"StopsAtNul", "=?utf-8?Q?ab=00cd?=", u"ab"},
                      TextCase{"Rfc2231Language", "=?US-ASCII*EN?Q?Keith_Moore?=", u"Keith Moore"}),
    LabelOf);

class DecodeHeaderTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(DecodeHeaderTextTest, DecodesTheValue) {
  EXPECT_EQ(DecodeHeaderText(GetParam().input, kWestern), GetParam().expected);
}

// RFC 2047 8, the examples of how encoded words and the white space around them display.
INSTANTIATE_TEST_SUITE_P(
    Rfc2047Examples, DecodeHeaderTextTest,
    ::testing::Values(
        TextCase{"SingleWord", "(=?ISO-8859-1?Q?a?=)", u"(a)"},
        TextCase{"WordThenText", "(=?ISO-8859-1?Q?a?= b)", u"(a b)"},
        TextCase{"AdjacentWords", "(=?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=)", u"(ab)"},
        TextCase{"WordsTwoBlanks", "(=?ISO-8859-1?Q?a?=  =?ISO-8859-1?Q?b?=)", u"(ab)"},
        TextCase{"WordsAcrossFold", "(=?ISO-8859-1?Q?a?=\r\n    =?ISO-8859-1?Q?b?=)", u"(ab)"},
        TextCase{"EncodedSpace", "(=?ISO-8859-1?Q?a_b?=)", u"(a b)"},
        TextCase{"SpaceInSecondCharset", "(=?ISO-8859-1?Q?a?= =?ISO-8859-2?Q?_b?=)", u"(a b)"},
        TextCase{"KeithMoore", "=?US-ASCII?Q?Keith_Moore?= <moore@cs.utk.edu>",
                 u"Keith Moore <moore@cs.utk.edu>"},
        TextCase{"KeldJornSimonsen", "=?ISO-8859-1?Q?Keld_J=F8rn_Simonsen?= <keld@dkuug.dk>",
                 u"Keld Jørn Simonsen <keld@dkuug.dk>"},
        TextCase{"AndrePirard", "=?ISO-8859-1?Q?Andr=E9?= Pirard <PIRARD@vm1.ulg.ac.be>",
                 u"André Pirard <PIRARD@vm1.ulg.ac.be>"},
        TextCase{"TwoCharsetsSubject",
                 "=?ISO-8859-1?B?SWYgeW91IGNhbiByZWFkIHRoaXMgeW8=?=\r\n "
                 "=?ISO-8859-2?B?dSB1bmRlcnN0YW5kIHRoZSBleGFtcGxlLg==?=",
                 u"If you can read this you understand the example."},
        TextCase{"OlleJarnefors", "=?ISO-8859-1?Q?Olle_J=E4rnefors?= <ojarnef@admin.kth.se>",
                 u"Olle Järnefors <ojarnef@admin.kth.se>"}),
    LabelOf);

INSTANTIATE_TEST_SUITE_P(
    Behaviour, DecodeHeaderTextTest,
    ::testing::Values(
        TextCase{"PlainAscii", "Hello world", u"Hello world"}, TextCase{"Empty", "", u""},
        TextCase{"WordWithTextAfter", "Re: =?gb2312?B?1tDOxA==?= more", u"Re: 中文 more"},
        TextCase{"WordAtEnd", "Re: =?gb2312?B?1tDOxA==?=", u"Re: 中文"},
        TextCase{"WordAtStart", "=?gb2312?B?1tDOxA==?= more", u"中文 more"},
        TextCase{"EveryWordDecoded", "a =?utf-8?Q?x?= b =?utf-8?Q?y?= c", u"a x b y c"},
        TextCase{"LeadingBlanksKept", "  =?utf-8?Q?a?=", u"  a"},
        TextCase{"TextBetweenWordsKept", "=?utf-8?Q?a?= - =?utf-8?Q?b?=", u"a - b"},
        // A character split over two words decodes whole (bytes joined before conversion).
        TextCase{"SplitUtf8Base64", "=?utf-8?B?5Lg=?= =?utf-8?B?rQ==?=", u"中"},
        TextCase{"SplitUtf8Q", "=?utf-8?Q?=E4=B8?=\t=?UTF-8?Q?=AD?=", u"中"},
        TextCase{"SplitAcrossEqualPages", "=?gb2312?Q?=D6?= =?gbk?Q?=D0?=", u"中"},
        TextCase{"DifferentCharsetsEachTheirOwn",
                 "=?iso-8859-1?Q?caf=E9?= =?utf-8?Q?_=E2=82=AC?=", u"café €"},
        // Encodings with shift states: whole words, and a character cut between words.
        TextCase{"Iso2022JpWholeWords",
                 "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=  =?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=",
                 u"テストテスト"},
        TextCase{"Iso2022JpCharacterCut",
                 "=?iso-2022-jp?Q?=1B$B%F%?= =?iso-2022-jp?Q?9%H=1B(B?=", u"テスト"},
        TextCase{"HzWholeWords", "=?hz-gb-2312?Q?~{VP~}?= =?hz-gb-2312?Q?~{ND~}?=", u"中文"},
        TextCase{"Utf7Words", "=?utf-7?Q?Fr+APY-?= =?utf-7?Q?sche?=", u"Frösche"},
        TextCase{"Utf7CutInsideShift", "=?utf-7?Q?Fr+AP?= =?utf-7?Q?Y-sche?=", u"Frösche"},
        TextCase{"OneByteWordsKept", "Re: =?gbk?B?u9i4tDog?= =?gbk?Q?H?= x", u"Re: 回复: H x"},
        TextCase{"EmptyWord", "a =?utf-8?Q?\?= b", u"a  b"},
        // Charsets the table lacks.
        TextCase{"Gb18030ByName", "=?gb18030?B?ZXJvc9DUxNzOyszi?=", u"eros性能问题"},
        TextCase{"Utf16WithoutMark", "=?utf-16?B?RABlAHMAaQBnAG4A?=", u"Design"},
        TextCase{"Latin6IsNotLatin1", "=?iso-8859-10?Q?=BF?=", u"ŋ"},
        TextCase{"UnknownCharsetUtf8Bytes", "=?x-unknown?Q?caf=C3=A9?=", u"café"},
        TextCase{"UnknownCharsetLegacyBytes", "=?unknown-8bit?Q?caf=E9?=", u"café"},
        TextCase{"LanguageSuffix", "=?iso-8859-2*sl?Q?Doma=e8e?=", u"Domače"},
        // Raw 8-bit text outside words.
        TextCase{"RawUtf8",
                 "Gr\xC3\xBC\xC3\x9F"
                 "e",
                 u"Grüße"},
        TextCase{"RawLegacyUsesAnsi",
                 "Gr\xFC\xDF"
                 "e",
                 u"Grüße"},
        TextCase{"RawUtf8BesideWord", "=?iso-8859-1?Q?Maril=F9?= Gioffr\xC3\xA9",
                 u"Marilù Gioffré"},
        // What is not a complete encoded word stays as written.
        TextCase{"UnknownEncodingLetter", "=?utf-8?Z?abc?=", u"=?utf-8?Z?abc?="},
        TextCase{"BlankInCharset", "=?utf 8?Q?abc?=", u"=?utf 8?Q?abc?="},
        TextCase{"CutShortWithBlankAfter", "=?utf-8?Q?abc def", u"=?utf-8?Q?abc def"},
        TextCase{"NoEncodedText", "=?utf-8?Q", u"=?utf-8?Q"},
        TextCase{"LoneMarker", "What=?", u"What=?"},
        TextCase{"BlankInsideTerminatedWord", "=?utf-8?Q?a b?=", u"a b"},
        TextCase{"StrayStartDoesNotSwallowText", "=?x?Q?a b =?utf-8?Q?c?=", u"=?x?Q?a b c"},
        TextCase{"EqualsBeforeCloseIsNoStart", "=?utf-8?Q?a=?=", u"a="},
        TextCase{"CutShortAtEnd", "Re: =?utf-8?B?5Lit5paH", u"Re: 中文"},
        TextCase{"NulsDropped", "a\0b=?utf-8?Q?c=00d?="sv, u"abcd"}),
    LabelOf);

TEST(DecodeHeaderTextTest, LongValuesOfFailedCandidatesStayAsWritten) {
  // Each candidate looks like the start of a word but is followed by a blank and no "?=". The
  // scan remembers its searches, so this stays linear in the value's length.
  std::string value;
  for (int i = 0; i < 20000; ++i) value += "=?a?Q?x ";
  const std::u16string decoded = DecodeHeaderText(value, kWestern);
  ASSERT_EQ(decoded.size(), value.size());
  EXPECT_EQ(Utf16ToUtf8(decoded), value);
  // One closing "?=" at the very end makes the last candidate a word.
  EXPECT_EQ(Utf16ToUtf8(DecodeHeaderText(value + "=?a?Q?y?=", kWestern)), value + "y");
}

TEST(DecodeHeaderTextTest, PlainTextUsesTheAnsiCodePage) {
  EXPECT_EQ(DecodeHeaderText("\xCF\xF0\xE8\xE2\xE5\xF2 =?utf-8?Q?x?=", 1251), u"Привет x");
  EXPECT_EQ(DecodeHeaderText("\xCF\xF0\xE8 =?utf-8?Q?x?=", 1253), u"Οπθ x");
}

TEST(DecodeHeaderTextTest, SystemCharsetUsesTheAnsiCodePage) {
  EXPECT_EQ(DecodeHeaderText("=?system?Q?=E1?=", 1253), u"α");
  EXPECT_EQ(DecodeHeaderText("=?system?Q?=E1?=", 1251), u"б");
}

// Plain ASCII values are the most common ones and skip the converter: what comes back must be
// what the ANSI code page's converter makes of the same bytes, in every code page, including
// those where ASCII bytes are other characters (EBCDIC) or shift (HZ's "~{").
struct PlainValueCase {
  const char* label;
  int codePage;
  std::string value;
};

void PrintTo(const PlainValueCase& row, std::ostream* out) {
  *out << row.label;
}

class PlainValueTest : public ::testing::TestWithParam<PlainValueCase> {};

TEST_P(PlainValueTest, ReadsAsTheCodePageReadsIt) {
  const PlainValueCase& row = GetParam();
  std::u16string converted = CodePageToUtf16(row.codePage, row.value);
  std::erase(converted, u'\0');
  EXPECT_EQ(DecodeHeaderText(row.value, row.codePage), converted);
}

const std::string kEveryPrintable = [] {
  std::string text = "\t\r\n";
  for (char c = 0x20; c < 0x7F; ++c) text += c;
  return text;
}();

INSTANTIATE_TEST_SUITE_P(CodePages, PlainValueTest,
                         ::testing::Values(PlainValueCase{"Western", 1252, kEveryPrintable},
                                           PlainValueCase{"CentralEuropean", 1250, kEveryPrintable},
                                           PlainValueCase{"Cyrillic", 1251, kEveryPrintable},
                                           PlainValueCase{"Vietnamese", 1258, kEveryPrintable},
                                           PlainValueCase{"Thai", 874, kEveryPrintable},
                                           PlainValueCase{"Latin1", 28591, kEveryPrintable},
                                           PlainValueCase{"Latin9", 28605, kEveryPrintable},
                                           PlainValueCase{"Baltic", 28603, kEveryPrintable},
                                           PlainValueCase{"UsAscii", 20127, kEveryPrintable},
                                           PlainValueCase{"Utf8", 65001, kEveryPrintable},
                                           PlainValueCase{"Ebcdic", 37, "Plain subject"},
                                           PlainValueCase{"HzShifts", 52936,
                                                          "a~{<:Ky2;S{#,NpJ)l6HK!#~}b"},
                                           PlainValueCase{"ShiftJisYen", 932, "C:\\path"},
                                           PlainValueCase{"DeleteByte", 1252,
                                                          "a\x7F"
                                                          "b"},
                                           PlainValueCase{"NulByte", 1252, std::string("a\0b", 3)},
                                           PlainValueCase{"EmptyValue", 1252, ""}),
                         [](const ::testing::TestParamInfo<PlainValueCase>& row) {
                           return std::string(row.param.label);
                         });

// The plain-text check reads values eight bytes at a time: whatever needs decoding must be seen
// at every place in a value, in the first word, across a word's edge and in the tail.
struct InsertCase {
  const char* label;
  std::string_view inserted;
  std::u16string_view decoded;  // what the inserted bytes read as
  bool inAddresses;             // inserting it leaves an address value one part
};

void PrintTo(const InsertCase& row, std::ostream* out) {
  *out << row.label;
}

class OddBytesAnywhereTest : public ::testing::TestWithParam<std::tuple<InsertCase, std::size_t>> {
 protected:
  static constexpr std::string_view kFiller = "Quarterly report figures";  // 24 bytes

  std::string Value() const {
    const auto& [row, position] = GetParam();
    std::string value(kFiller.substr(0, position));
    value += row.inserted;
    value += kFiller.substr(position);
    return value;
  }
  std::u16string Expected() const {
    const auto& [row, position] = GetParam();
    std::u16string text;
    for (const char c : kFiller.substr(0, position)) text += static_cast<char16_t>(c);
    text += row.decoded;
    for (const char c : kFiller.substr(position)) text += static_cast<char16_t>(c);
    return text;
  }
};

TEST_P(OddBytesAnywhereTest, HeaderTextDecodesThem) {
  EXPECT_EQ(DecodeHeaderText(Value(), kWestern), Expected());
}

TEST_P(OddBytesAnywhereTest, AddressTextDecodesThem) {
  if (!std::get<0>(GetParam()).inAddresses) GTEST_SKIP() << "splits the address value";
  // Inside the filler, so trimming the value's ends leaves the inserted bytes alone.
  const std::size_t position = std::get<1>(GetParam());
  if (position == 0 || position == kFiller.size()) GTEST_SKIP() << "at an end of the value";
  EXPECT_EQ(DecodeAddressText(Value(), kWestern), Expected());
}

INSTANTIATE_TEST_SUITE_P(
    Places, OddBytesAnywhereTest,
    ::testing::Combine(
        ::testing::Values(InsertCase{"EuroSign", "\x80", u"\u20AC", true},
                          InsertCase{"HighControlOfTheCodePage", "\x8A", u"\u0160", true},
                          InsertCase{"Utf8Letter", "\xC3\xA9", u"\u00E9", true},
                          InsertCase{"EncodedWord", " =?utf-8?Q?=C3=A9?= ", u" \u00E9 ", false},
                          InsertCase{"BareWordOpener", "=?", u"=?", true},
                          // Plain bytes the word check flags but the byte check lets through.
                          InsertCase{"FoldedLine", "\r\n\t", u"\r\n\t", true},
                          InsertCase{"DeleteByte", "\x7F", u"\x7F", true}),
        ::testing::Range<std::size_t>(0, 25)),
    [](const auto& row) {
      return std::string(std::get<0>(row.param).label) + "At" +
             std::to_string(std::get<1>(row.param));
    });

// Where a word may end: blanks inside it are taken, a line break or the start of another word
// behind a blank is not, and a word cut short is one only when nothing blank follows it.
INSTANTIATE_TEST_SUITE_P(
    WordEnds, DecodeHeaderTextTest,
    ::testing::Values(
        TextCase{"BlankInsideWord", "=?utf-8?Q?a b?= c", u"a b c"},
        TextCase{"LineBreakInsideWord", "=?utf-8?Q?a\r\nb?= c", u"=?utf-8?Q?a\r\nb?= c"},
        TextCase{"LineBreakBehindBlank", "=?utf-8?Q?a b\r\n?= c", u"=?utf-8?Q?a b\r\n?= c"},
        TextCase{"LineBreakAfterWord", "=?utf-8?Q?a b?= c\r\n d", u"a b c\r\n d"},
        TextCase{"OtherWordBehindBlank", "=?utf-8?Q?a =?utf-8?Q?b?=", u"=?utf-8?Q?a b"},
        TextCase{"OtherWordWithoutBlank", "=?utf-8?Q?a=?utf-8?Q?b?=", u"a=?utf-8?Q?b"},
        TextCase{"CutShortAtTheEnd", "x =?utf-8?Q?abc?", u"x abc"},
        TextCase{"CutShortBeforeABlank", "=?utf-8?Q?abc d", u"=?utf-8?Q?abc d"},
        TextCase{"SecondWordAfterLineBreak", "=?utf-8?Q?a?=\r\n =?utf-8?Q?b c?=\r\n", u"ab c\r\n"},
        // A line break in front of one "?=" says nothing about the next word's.
        TextCase{"WordBehindOneCutByALineBreak", "=?utf-8?Q?a\r\nb?= x =?utf-8?Q?c d?= e",
                 u"=?utf-8?Q?a\r\nb?= x c d e"},
        TextCase{"LineBreakBeforeTheSecondWordsEnd", "=?utf-8?Q?a?= =?utf-8?Q?b\r\nc?= d",
                 u"a =?utf-8?Q?b\r\nc?= d"}),
    LabelOf);

class DecodeAddressTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(DecodeAddressTextTest, DecodesAndQuotesTheDisplayName) {
  EXPECT_EQ(DecodeAddressText(GetParam().input, kWestern), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeAddressTextTest,
    ::testing::Values(
        TextCase{"PlainNameUnchanged", "John Smith <js@example.com>",
                 u"John Smith <js@example.com>"},
        TextCase{"AddressOnly", "js@example.com", u"js@example.com"},
        TextCase{"QuotedEncodedName", "\"=?utf-8?B?5Lit5paH?=\" <a@b.c>", u"\"中文\" <a@b.c>"},
        TextCase{"UnquotedEncodedName", "=?utf-8?B?5Lit5paH?= <a@b.c>", u"\"中文\" <a@b.c>"},
        TextCase{"NameOfSeveralWords", "=?utf-8?Q?a?= =?utf-8?Q?b?= <a@b.c>", u"\"ab\" <a@b.c>"},
        TextCase{"NameNoBlankBeforeAddress", "=?utf-8?Q?Name?=<a@b.c>", u"\"Name\" <a@b.c>"},
        TextCase{"OnlyAnEncodedWord", "=?utf-8?B?5Lit5paH?=", u"中文"},
        TextCase{"QuotedName", "\"Name\" <a@b.c>", u"\"Name\" <a@b.c>"},
        TextCase{"NoQuoteTrimmed", " \tJohn Smith <js@example.com>\r\n",
                 u"John Smith <js@example.com>"},
        TextCase{"QuotesOnlyInTheAddress", "Name <\"x y\"@b.c>", u"Name <\"x y\"@b.c>"},
        TextCase{"NameQuotedBehindText", "To: \"Name\" <a@b.c>", u"\"To:\" Name <a@b.c>"},
        TextCase{"EscapedQuotes", "\\\"Name\\\" <a@b.c>", u"\"Name\" <a@b.c>"},
        TextCase{"SingleQuoteDropped", "\"Name <a@b.c>", u"Name <a@b.c>"},
        TextCase{"BlanksAroundTrimmed", "  \"Name\"   <a@b.c>  ", u"\"Name\" <a@b.c>"},
        TextCase{"QuotedLocalPartIsNoName", "<\"Books@Books\"@example.com>",
                 u"<\"Books@Books\"@example.com>"},
        TextCase{"QuotedLocalPartAfterName", "Books <\"a b\"@example.com>",
                 u"Books <\"a b\"@example.com>"},
        TextCase{"EmptyQuotesDropped", "\"\" <a@b.c>", u"<a@b.c>"},
        TextCase{"TextBeforeQuotes", "Foo \"Bar\" <a@b.c>", u"\"Foo\" Bar <a@b.c>"},
        TextCase{"PartlyEncodedName", "=?utf-8?Q?Foo?= Bar <a@b>", u"\"Foo\" Bar <a@b>"},
        TextCase{"CommentName", "a@b.c (=?utf-8?Q?Na_me?=)", u"a@b.c (Na me)"},
        TextCase{"QuotedEncodedQ", "\"=?iso-8859-1?q?=E9t=E9?=\" <a@b.c>", u"\"été\" <a@b.c>"},
        TextCase{"EncodedQStartingWithEscape", "=?iso-8859-1?q?=E9t=E9?= <a@b.c>",
                 u"\"été\" <a@b.c>"},
        TextCase{"Rfc2047Example", "=?ISO-8859-1?Q?Patrik_F=E4ltstr=F6m?= <paf@nada.kth.se>",
                 u"\"Patrik Fältström\" <paf@nada.kth.se>"},
        TextCase{"BlankNameDropped", "\"  \" <a@b.c>", u"<a@b.c>"},
        TextCase{"QuotedNameAlone", "\"Name\"", u"Name"},
        TextCase{"TabsInsideTheName", "\"\tA\tB \"\t<a@b.c>", u"\"A\tB\" <a@b.c>"},
        TextCase{"EightBitQuotedName", "\"M\xFCller\" <m@x.de>", u"\"M\u00FCller\" <m@x.de>"},
        TextCase{"EscapedQuotesBehindTwoBytes", "ab\\\"Name\\\" <a@b.c>", u"\"ab\" Name <a@b.c>"},
        TextCase{"EscapedQuoteFurtherIn", "abc\\\"Name\\\" <a@b.c>", u"\"abc\\\" Name\\ <a@b.c>"},
        TextCase{"Empty", "", u""}, TextCase{"OnlyBlanks", " \t ", u""}),
    LabelOf);

struct ExtendedCase {
  const char* label;
  std::string_view value;
  std::u16string_view expected;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const ExtendedCase& row, std::ostream* out) {
  *out << row.label;
}

class DecodeExtendedParameterTest : public ::testing::TestWithParam<ExtendedCase> {};

TEST_P(DecodeExtendedParameterTest, DecodesCharsetAndPercentEscapes) {
  EXPECT_EQ(DecodeExtendedParameter(GetParam().value, kWestern), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeExtendedParameterTest,
    ::testing::Values(
        // RFC 2231 4's own example.
        ExtendedCase{"Rfc2231Example", "us-ascii'en-us'This%20is%20%2A%2A%2Afun%2A%2A%2A",
                     u"This is ***fun***"},
        ExtendedCase{"Utf8FileName", "utf-8''%E4%B8%AD%E6%96%87.txt", u"中文.txt"},
        ExtendedCase{"LowerCaseHex", "utf-8''%e4%b8%ad", u"中"},
        ExtendedCase{"Latin1WithLanguage", "iso-8859-1'en'caf%E9", u"café"},
        ExtendedCase{"CharsetByName", "gb18030''%D6%D0", u"中"},
        ExtendedCase{"UnknownCharsetUtf8", "x-unknown''caf%C3%A9", u"café"},
        ExtendedCase{"EmptyCharset", "''abc", u"abc"},
        ExtendedCase{"NoQuotesIsAnsi", "caf%E9%20x", u"café x"},
        ExtendedCase{"OneQuoteIsAnsi", "it's", u"it's"},
        ExtendedCase{"BadEscapeKept", "utf-8''50%G1", u"50%G1"},
        ExtendedCase{"EscapeCutShort", "utf-8''50%4", u"50%4"},
        ExtendedCase{"PercentAtEnd", "utf-8''50%", u"50%"},
        ExtendedCase{"QuotedValue", "\"utf-8''a%20b\"", u"a b"}, ExtendedCase{"Empty", "", u""}),
    [](const auto& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace quillon
