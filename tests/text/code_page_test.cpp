#include "text/code_page.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/test_helpers.h"
#include "text/converter_names.h"
#include "text/icu_conversion.h"
#include "text/locale_code_page.h"
#include "text/utf8.h"

namespace quillon {
namespace {

using namespace std::string_view_literals;

// One known word per code page, in the page's bytes.
struct SampleCase {
  int codePage;
  const char* family;
  std::string_view bytes;
  std::u16string_view text;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const SampleCase& row, std::ostream* out) {
  *out << "code page " << row.codePage;
}

// Samples for every family the decoders must handle on any machine.
const SampleCase kSamples[] = {
    {936, "CJK", "\xD6\xD0\xCE\xC4"sv, u"中文"},
    {950, "CJK", "\xA4\xA4\xA4\xE5"sv, u"中文"},
    {932, "CJK", "\x93\xFA\x96{\x8C\xEA"sv, u"日本語"},
    {949, "CJK", "\xC7\xD1\xB1\xB9\xBE\xEE"sv, u"한국어"},
    {51932, "CJK", "\xC6\xFC\xCB\xDC\xB8\xEC"sv, u"日本語"},
    {51949, "CJK", "\xC7\xD1\xB1\xB9\xBE\xEE"sv, u"한국어"},
    {50220, "CJK",
     "\x1B$BF|K\x5C"
     "8l\x1B(B"sv,
     u"日本語"},
    {50221, "CJK",
     "\x1B$BF|K\x5C"
     "8l\x1B(B"sv,
     u"日本語"},
    {50225, "CJK", "\x1B$)C\x0EGQ19>n\x0F"sv, u"한국어"},
    {52936, "CJK", "~{VPND~}"sv, u"中文"},
    {51936, "CJK", "\xD6\xD0\xCE\xC4"sv, u"中文"},
    {1361, "CJK",
     "\xD0"
     "e\x8A\x82\xB4\xE1"sv,
     u"한국어"},
    {1251, "Cyrillic", "\xCF\xF0\xE8\xE2\xE5\xF2"sv, u"Привет"},
    {20866, "Cyrillic", "\xF0\xD2\xC9\xD7\xC5\xD4"sv, u"Привет"},
    {21866, "Cyrillic", "\xF0\xD2\xC9\xD7\xA6\xD4"sv, u"Привіт"},
    {866, "Cyrillic", "\x8F\xE0\xA8\xA2\xA5\xE2"sv, u"Привет"},
    {28595, "Cyrillic", "\xBF\xE0\xD8\xD2\xD5\xE2"sv, u"Привет"},
    {10007, "Cyrillic", "\x8F\xF0\xE8\xE2\xE5\xF2"sv, u"Привет"},
    {1252, "Western", "Caf\xE9 \x80"sv, u"Café €"},
    {28591, "Western", "Caf\xE9"sv, u"Café"},
    {28605, "Western", "Caf\xE9 \xA4"sv, u"Café €"},
    {850, "Western", "Caf\x82"sv, u"Café"},
    {437, "Western", "Caf\x82"sv, u"Café"},
    {10000, "Western", "Caf\x8E"sv, u"Café"},
    {1250, "Central European",
     "\xA3\xF3"
     "d\x9F"sv,
     u"Łódź"},
    {28592, "Central European",
     "\xA3\xF3"
     "d\xBC"sv,
     u"Łódź"},
    {852, "Central European",
     "\x9D\xA2"
     "d\xAB"sv,
     u"Łódź"},
    {10029, "Central European",
     "\xFC\x97"
     "d\x90"sv,
     u"Łódź"},
    {1253, "Greek", "\xC1\xE8\xDE\xED\xE1"sv, u"Αθήνα"},
    {28597, "Greek", "\xC1\xE8\xDE\xED\xE1"sv, u"Αθήνα"},
    {737, "Greek", "\x80\x9F\xE3\xA4\x98"sv, u"Αθήνα"},
    {869, "Greek", "\xA4\xE2\x9E\xE7\xD6"sv, u"Αθήνα"},
    {10006, "Greek", "\xB0\xF5\xDC\xEE\xE1"sv, u"Αθήνα"},
    {1254, "Turkish", "\xDDstanbul \xF0\xFE"sv, u"İstanbul ğş"},
    {28599, "Turkish", "\xDDstanbul \xF0\xFE"sv, u"İstanbul ğş"},
    {857, "Turkish", "\x98stanbul \xA7\x9F"sv, u"İstanbul ğş"},
    {10081, "Turkish", "\xDCstanbul \xDB\xDF"sv, u"İstanbul ğş"},
    {1255, "Hebrew", "\xF9\xEC\xE5\xED"sv, u"שלום"},
    {28598, "Hebrew", "\xF9\xEC\xE5\xED"sv, u"שלום"},
    {38598, "Hebrew", "\xF9\xEC\xE5\xED"sv, u"שלום"},
    {862, "Hebrew", "\x99\x8C\x85\x8D"sv, u"שלום"},
    {1256, "Arabic", "\xD3\xE1\xC7\xE3"sv, u"سلام"},
    {28596, "Arabic", "\xD3\xE4\xC7\xE5"sv, u"سلام"},
    {708, "Arabic", "\xD3\xE4\xC7\xE5"sv, u"سلام"},
    {720, "Arabic", "\xAB\xE9\x9F\xEA"sv, u"سلام"},
    {1257, "Baltic", "\xD0iauli\xF8"sv, u"Šiaulių"},
    {28594, "Baltic", "\xA9iauli\xF9"sv, u"Šiaulių"},
    {775, "Baltic", "\xBEiauli\xD6"sv, u"Šiaulių"},
    {1258, "Vietnamese", "Vi\xEA\xF2t"sv, u"Vi\u00EA\u0323t"},
    {874, "Thai", "\xC0\xD2\xC9\xD2\xE4\xB7\xC2"sv, u"ภาษาไทย"},
    {65000, "Unicode", "Fr+APY-sche"sv, u"Frösche"},
    {65001, "Unicode", "Fr\xC3\xB6sche \xE4\xB8\xAD\xE6\x96\x87"sv, u"Frösche 中文"},
    {1201, "Unicode",
     "\x00"
     "F\x00r\x00\xF6\x00s\x00"
     "c\x00h\x00"
     "e"sv,
     u"Frösche"},
    {37, "EBCDIC", "\xC8\x85\x93\x93\x96"sv, u"Hello"},
    {1140, "EBCDIC", "\xC8\x85\x93\x93\x96@\x9F"sv, u"Hello €"},
    {875, "EBCDIC", "A\x9B\xB3\xAA\x8A"sv, u"Αθήνα"},
    {10079, "Western", "\xDE\x97r"sv, u"Þór"},
};

class CodePageSampleTest : public ::testing::TestWithParam<SampleCase> {};

TEST_P(CodePageSampleTest, ConvertsItsKnownSample) {
  const SampleCase& sample = GetParam();
  ASSERT_TRUE(IsCodePageAvailable(sample.codePage)) << sample.family;
  EXPECT_EQ(CodePageToUtf16(sample.codePage, sample.bytes), sample.text) << sample.family;
}

TEST_P(CodePageSampleTest, ConvertsItsSampleBackToTheSameText) {
  const SampleCase& sample = GetParam();
  const std::string bytes = Utf16ToCodePage(sample.text, sample.codePage);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(CodePageToUtf16(sample.codePage, bytes), sample.text) << sample.family;
}

INSTANTIATE_TEST_SUITE_P(Families, CodePageSampleTest, ::testing::ValuesIn(kSamples),
                         [](const auto& row) {
                           return "CodePage" + std::to_string(row.param.codePage);
                         });

// Pages that nothing on a Debian machine converts: Mac Arabic and Hebrew, Europa 3 and the
// Korean extended EBCDIC page.
const std::set<int> kPagesWithoutConverter = {10004, 10005, 29001, 20833};

TEST(CodePageTest, ListsWhichTableRowsConvertOnThisMachine) {
  std::vector<std::string_view> missing;
  std::size_t available = 0;
  for (const CharsetEntry& entry : CharsetTable()) {
    // The "system" row (0) converts in whatever ANSI code page the caller reads untagged text in.
    if (IsCodePageAvailable(ResolveCodePage(entry.codePage, 1252))) {
      ++available;
      continue;
    }
    missing.push_back(entry.name);
    EXPECT_TRUE(kPagesWithoutConverter.count(entry.codePage))
        << entry.name << " (" << entry.codePage << ") lost its converter";
  }
  std::cout << "[ charsets ] " << available << " of " << CharsetTable().size()
            << " rows convert; without a converter:";
  for (std::string_view name : missing) std::cout << ' ' << name;
  std::cout << '\n';
  EXPECT_GE(available, CharsetTable().size() - kPagesWithoutConverter.size());
}

TEST(CodePageTest, EveryConvertibleRowTurnsAsciiLettersIntoThemselves) {
  // Every page here but the EBCDIC, UTF-16 and ISCII ones keeps ASCII letters as they are;
  // checking that catches a row wired to a wrong converter.
  for (const CharsetEntry& entry : CharsetTable()) {
    const int codePage = ResolveCodePage(entry.codePage, 1252);
    if (!IsCodePageAvailable(codePage)) continue;
    const bool asciiBased = entry.name.find("ebcdic") == std::string_view::npos &&
                            entry.name != "cp870" && entry.name != "cp1026" &&
                            entry.name != "unicodefffe";
    if (!asciiBased) continue;
    EXPECT_EQ(CodePageToUtf16(codePage, "Hello"), u"Hello") << entry.name;
  }
}

TEST(CodePageTest, UnknownPagesConvertNothing) {
  // 0 too: it stands for an ANSI code page only where a caller resolves it to one.
  for (int codePage : {12345, 29001, -7, 0}) {
    EXPECT_FALSE(IsCodePageAvailable(codePage)) << codePage;
    EXPECT_EQ(CodePageToUtf16(codePage, "abc"), u"") << codePage;
    EXPECT_EQ(Utf16ToCodePage(u"abc", codePage), "") << codePage;
  }
}

TEST(CodePageTest, InvalidBytesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("a\xE4\xB8"), u"a\uFFFD");
  EXPECT_EQ(CodePageToUtf16(936, "\x81"), u"\uFFFD");
}

TEST(CodePageTest, MissingCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToCodePage(u"a中b", 1252), "a?b");
  EXPECT_EQ(Utf16ToCodePage(u"Ж", 28591), "?");
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800"
                        "b"),
            "a?b");
}

TEST(CodePageTest, EmptyInputGivesEmptyOutput) {
  EXPECT_EQ(CodePageToUtf16(65001, ""), u"");
  EXPECT_EQ(Utf16ToCodePage(u"", 1252), "");
}

TEST(CodePageTest, LongInputConvertsWhole) {
  std::string bytes;
  std::u16string expected;
  for (int i = 0; i < 100000; ++i) {
    bytes +=
        "\xE4\xB8\xAD"
        "a";
    expected += u"中a";
  }
  EXPECT_EQ(Utf8ToUtf16(bytes), expected);
  EXPECT_EQ(Utf16ToUtf8(expected), bytes);
}

TEST(CodePageTest, ZeroStandsForTheAnsiCodePageGiven) {
  EXPECT_EQ(ResolveCodePage(0, 1251), 1251);
  EXPECT_EQ(ResolveCodePage(1253, 1251), 1253);
  EXPECT_EQ(AnsiToUtf16("\xCF\xF0\xE8", 1251), u"При");
  EXPECT_EQ(AnsiToUtf16("\xCF\xF0\xE8", 1252), u"Ïðè");
  EXPECT_EQ(Utf16ToAnsi(u"При", 1251), "\xCF\xF0\xE8");
  EXPECT_EQ(Utf16ToAnsi(u"При", 1252), "???");
}

TEST(CodePageTest, OffersEveryByteOrientedPageThatConvertsOnce) {
  const std::vector<CodePageChoice> choices = AnsiCodePageChoices();
  std::set<int> offered;
  int previous = 0;
  for (const CodePageChoice& choice : choices) {
    EXPECT_GT(choice.codePage, previous) << "ascending, each once: " << choice.name;
    previous = choice.codePage;
    EXPECT_TRUE(IsCodePageAvailable(choice.codePage)) << choice.name;
    EXPECT_FALSE(choice.name.empty()) << choice.codePage;
    offered.insert(choice.codePage);
  }
  // The pages Windows uses as ANSI code pages, and UTF-8; never UTF-16 or UTF-32, whose ASCII
  // takes more than a byte.
  for (int page :
       {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 65001})
    EXPECT_TRUE(offered.count(page)) << page;
  for (int page : {0, 1200, 1201, 12000, 12001}) EXPECT_FALSE(offered.count(page)) << page;
  for (int page : kPagesWithoutConverter) EXPECT_FALSE(offered.count(page)) << page;
}

TEST(CodePageTest, ThreadsConvertAtTheSameTimeWithTheirOwnConverters) {
  // Each thread keeps its own converters; interleaved stateful conversions must not mix.
  auto work = [](int codePage, std::string_view bytes, std::u16string_view text, bool* ok) {
    for (int i = 0; i < 2000; ++i) {
      if (CodePageToUtf16(codePage, bytes) != text) *ok = false;
      if (Utf16ToUtf8(text).empty()) *ok = false;
    }
  };
  bool japaneseOk = true;
  bool chineseOk = true;
  bool utf7Ok = true;
  std::thread japanese(work, 50220,
                       "\x1B$BF|K\x5C"
                       "8l\x1B(B"sv,
                       u"日本語", &japaneseOk);
  std::thread chinese(work, 52936, "~{VPND~}"sv, u"中文", &chineseOk);
  std::thread utf7(work, 65000, "Fr+APY-sche"sv, u"Frösche", &utf7Ok);
  // Two readers of untagged text in different ANSI code pages at the same time.
  bool ansiOk = true;
  std::thread setter([&ansiOk] {
    for (int i = 0; i < 2000; ++i) {
      const bool russian = i % 2 != 0;
      if (AnsiToUtf16("\xCF\xF0\xE8", russian ? 1251 : 1253) != (russian ? u"При" : u"Οπθ"))
        ansiOk = false;
    }
  });
  japanese.join();
  chinese.join();
  utf7.join();
  setter.join();
  EXPECT_TRUE(japaneseOk);
  EXPECT_TRUE(chineseOk);
  EXPECT_TRUE(utf7Ok);
  EXPECT_TRUE(ansiOk);
}

struct DecodeWithCharsetCase {
  const char* label;
  std::string_view text;
  std::u16string_view expected;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const DecodeWithCharsetCase& row, std::ostream* out) {
  *out << row.label;
}

class DecodeWithCharsetTest : public ::testing::TestWithParam<DecodeWithCharsetCase> {};

TEST_P(DecodeWithCharsetTest, ConvertsWithTheEntrysPage) {
  const CharsetEntry utf8{"utf-8", 65001};
  EXPECT_EQ(DecodeWithCharset(utf8, GetParam().text, 1252), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeWithCharsetTest,
    ::testing::Values(DecodeWithCharsetCase{"SingleByteIsTooShort", "a", u""},
                      DecodeWithCharsetCase{"EmptyIsEmpty", "", u""},
                      DecodeWithCharsetCase{"TwoBytesConvert", "ab", u"ab"},
                      DecodeWithCharsetCase{"TrailingMarkersGo", "abc?=", u"abc"},
                      DecodeWithCharsetCase{"AllTrailingMarkersGo", "ab?\?==", u"ab"},
                      DecodeWithCharsetCase{"OneByteLeftAfterMarkers", "a?=", u""},
                      DecodeWithCharsetCase{"WhiteSpaceTrimmed", " \tab \r\n", u"ab"},
                      DecodeWithCharsetCase{"StopsAtNul", "ab\0cd"sv, u"ab"},
                      DecodeWithCharsetCase{"MultiByteCharacter", "\xC3\xA9", u"é"}),
    [](const auto& row) { return std::string(row.param.label); });

TEST(DecodeWithCharsetTest, ZeroEntryUsesTheAnsiCodePage) {
  EXPECT_EQ(DecodeWithCharset(CharsetEntry{"system", 0}, "\xCF\xF0\xE8", 1251), u"При");
  EXPECT_EQ(DecodeWithCharset(CharsetEntry{"system", 0}, "\xCF\xF0\xE8", 1253), u"Οπθ");
}

struct Utf8ToAnsiCase {
  const char* label;
  int ansiCodePage;
  std::string_view utf8;
  std::string_view expected;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const Utf8ToAnsiCase& row, std::ostream* out) {
  *out << row.label;
}

class Utf8ToAnsiTest : public ::testing::TestWithParam<Utf8ToAnsiCase> {};

TEST_P(Utf8ToAnsiTest, ReencodesInPlace) {
  std::string text(GetParam().utf8);
  Utf8ToAnsi(text, GetParam().ansiCodePage);
  EXPECT_EQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8ToAnsiTest,
    ::testing::Values(Utf8ToAnsiCase{"Western", 1252, "caf\xC3\xA9", "caf\xE9"},
                      Utf8ToAnsiCase{"Chinese", 936, "\xE4\xB8\xAD", "\xD6\xD0"},
                      Utf8ToAnsiCase{"MissingBecomesDefault", 1252, "\xE4\xB8\xAD!", "?!"},
                      Utf8ToAnsiCase{"EmptyStaysEmpty", 1252, "", ""},
                      Utf8ToAnsiCase{"AsciiUnchanged", 1251, "plain", "plain"}),
    [](const auto& row) { return std::string(row.param.label); });

struct NamedCharsetCase {
  const char* label;
  std::string_view name;
  std::string_view bytes;
  std::optional<std::u16string_view> expected;  // nullopt: no converter
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const NamedCharsetCase& row, std::ostream* out) {
  *out << row.label;
}

class NamedCharsetTest : public ::testing::TestWithParam<NamedCharsetCase> {};

TEST_P(NamedCharsetTest, ConvertsByTheNameOrReportsNone) {
  const NamedCharsetCase& test = GetParam();
  std::u16string text = u"left over";
  const bool converted = ConvertByCharsetName(test.name, test.bytes, text);
  ASSERT_EQ(converted, test.expected.has_value());
  EXPECT_EQ(text, test.expected.value_or(u""));
}

INSTANTIATE_TEST_SUITE_P(
    Names, NamedCharsetTest,
    ::testing::Values(NamedCharsetCase{"Gb18030", "gb18030", "\xD0\xD4\xC4\xDC", u"性能"},
                      NamedCharsetCase{"Gb18030FourByte", "GB18030", "\x81\x30\x81\x30", u"\u0080"},
                      NamedCharsetCase{"Latin7", "iso-8859-13", "\xE0", u"ą"},
                      NamedCharsetCase{"Latin6", "iso-8859-10", "\xBF", u"ŋ"},
                      NamedCharsetCase{"Utf16BigEndianMark", "utf-16",
                                       "\xFE\xFF\x00"
                                       "A"sv,
                                       u"A"},
                      NamedCharsetCase{"Utf16LittleEndianMark", "UTF-16",
                                       "\xFF\xFE"
                                       "A\x00"sv,
                                       u"A"},
                      NamedCharsetCase{"Utf16UnmarkedLittle", "utf-16",
                                       "D\x00"
                                       "e\x00"sv,
                                       u"De"},
                      NamedCharsetCase{"Utf16UnmarkedBig", "utf-16",
                                       "\x00"
                                       "D\x00"
                                       "e"sv,
                                       u"De"},
                      NamedCharsetCase{"Unknown", "x-unknown", "abc", std::nullopt},
                      NamedCharsetCase{"PathIsNoName", "../../tmp/x", "abc", std::nullopt},
                      NamedCharsetCase{"Empty", "", "abc", std::nullopt}),
    [](const auto& row) { return std::string(row.param.label); });

struct LocaleCase {
  std::string_view locale;
  int codePage;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const LocaleCase& row, std::ostream* out) {
  *out << '"' << row.locale << '"';
}

class LocaleCodePageTest : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleCodePageTest, MapsTheLocaleLikeWindows) {
  EXPECT_EQ(CodePageForLocale(GetParam().locale), GetParam().codePage) << GetParam().locale;
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LocaleCodePageTest,
    ::testing::Values(
        LocaleCase{"zh_CN.UTF-8", 936}, LocaleCase{"zh_SG", 936}, LocaleCase{"zh", 936},
        LocaleCase{"zh_TW.Big5", 950}, LocaleCase{"zh_HK.UTF-8", 950}, LocaleCase{"ja_JP", 932},
        LocaleCase{"ko_KR.EUC-KR", 949}, LocaleCase{"ru_RU.KOI8-R", 1251},
        LocaleCase{"uk_UA", 1251}, LocaleCase{"be_BY", 1251}, LocaleCase{"bg_BG", 1251},
        LocaleCase{"sr_RS", 1251}, LocaleCase{"sr_RS@latin", 1250}, LocaleCase{"pl_PL", 1250},
        LocaleCase{"cs_CZ", 1250}, LocaleCase{"sk_SK", 1250}, LocaleCase{"hu_HU", 1250},
        LocaleCase{"ro_RO", 1250}, LocaleCase{"hr_HR", 1250}, LocaleCase{"sl_SI", 1250},
        LocaleCase{"el_GR.UTF-8", 1253}, LocaleCase{"tr_TR", 1254}, LocaleCase{"he_IL", 1255},
        LocaleCase{"ar_EG", 1256}, LocaleCase{"fa_IR", 1256}, LocaleCase{"lt_LT", 1257},
        LocaleCase{"lv_LV", 1257}, LocaleCase{"et_EE", 1257}, LocaleCase{"vi_VN", 1258},
        LocaleCase{"th_TH", 874}, LocaleCase{"de_DE.UTF-8", 1252}, LocaleCase{"en_US", 1252},
        LocaleCase{"C", 1252}, LocaleCase{"POSIX", 1252}, LocaleCase{"", 1252},
        LocaleCase{"ZH_cn", 936}),
    [](const auto& row) {
      std::string name;
      for (char c : row.param.locale) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name.empty() ? std::string("Empty") : name + "_" + std::to_string(row.param.codePage);
    });

// Saves the variables the ANSI code page comes from and puts them back afterwards.
class EnvironmentCodePageTest : public ::testing::Test {
 protected:
  static constexpr const char* kVariables[] = {"QUILLON_CODEPAGE", "LC_ALL", "LC_CTYPE", "LANG"};

  void SetUp() override {
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
      ::unsetenv(name);
    }
  }
  void TearDown() override {
    for (std::size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i]) {
        ::setenv(kVariables[i], saved_[i]->c_str(), 1);
      } else {
        ::unsetenv(kVariables[i]);
      }
    }
  }

 private:
  std::vector<std::optional<std::string>> saved_;
};

TEST_F(EnvironmentCodePageTest, NothingSetMeansWestern) {
  EXPECT_EQ(AnsiCodePageFromEnvironment(), 1252);
}

TEST_F(EnvironmentCodePageTest, LcAllWinsOverLcCtypeWhichWinsOverLang) {
  ::setenv("LANG", "ja_JP.UTF-8", 1);
  EXPECT_EQ(AnsiCodePageFromEnvironment(), 932);
  ::setenv("LC_CTYPE", "ko_KR.UTF-8", 1);
  EXPECT_EQ(AnsiCodePageFromEnvironment(), 949);
  ::setenv("LC_ALL", "ru_RU.UTF-8", 1);
  EXPECT_EQ(AnsiCodePageFromEnvironment(), 1251);
  ::setenv("LC_ALL", "", 1);  // empty counts as unset
  EXPECT_EQ(AnsiCodePageFromEnvironment(), 949);
}

TEST_F(EnvironmentCodePageTest, ExplicitCodePageWinsOverTheLocale) {
  ::setenv("LC_ALL", "ru_RU.UTF-8", 1);
  ::setenv("QUILLON_CODEPAGE", "936", 1);
  EXPECT_EQ(AnsiCodePageFromEnvironment(), 936);
  ::setenv("QUILLON_CODEPAGE", " 1250 ", 1);
  EXPECT_EQ(AnsiCodePageFromEnvironment(), 1250);
}

TEST_F(EnvironmentCodePageTest, UnusableExplicitCodePageIsIgnored) {
  ::setenv("LC_ALL", "el_GR", 1);
  for (const char* value : {"", "abc", "0", "-5", "12x", "99999999999"}) {
    ::setenv("QUILLON_CODEPAGE", value, 1);
    EXPECT_EQ(AnsiCodePageFromEnvironment(), 1253) << '"' << value << '"';
  }
}

struct Utf8ValidityCase {
  const char* label;
  std::string_view bytes;
  bool valid;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const Utf8ValidityCase& row, std::ostream* out) {
  *out << row.label;
}

class Utf8ValidityTest : public ::testing::TestWithParam<Utf8ValidityCase> {};

TEST_P(Utf8ValidityTest, FollowsRfc3629) {
  EXPECT_EQ(IsValidUtf8(GetParam().bytes), GetParam().valid);
}

// RFC 3629 4 syntax, at and beyond each boundary of the byte ranges.
INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8ValidityTest,
    ::testing::Values(Utf8ValidityCase{"Empty", "", true},
                      Utf8ValidityCase{"Ascii", "plain text", true},
                      Utf8ValidityCase{"TwoBytes", "\xC2\x80", true},
                      Utf8ValidityCase{"OverlongTwoBytes", "\xC1\xBF", false},
                      Utf8ValidityCase{"ThreeBytes", "\xE0\xA0\x80", true},
                      Utf8ValidityCase{"OverlongThreeBytes", "\xE0\x9F\xBF", false},
                      Utf8ValidityCase{"LastBeforeSurrogates", "\xED\x9F\xBF", true},
                      Utf8ValidityCase{"Surrogate", "\xED\xA0\x80", false},
                      Utf8ValidityCase{"FourBytes", "\xF0\x90\x80\x80", true},
                      Utf8ValidityCase{"OverlongFourBytes", "\xF0\x8F\xBF\xBF", false},
                      Utf8ValidityCase{"LastCodePoint", "\xF4\x8F\xBF\xBF", true},
                      Utf8ValidityCase{"BeyondLastCodePoint", "\xF4\x90\x80\x80", false},
                      Utf8ValidityCase{"LeadF5", "\xF5\x80\x80\x80", false},
                      Utf8ValidityCase{"LoneContinuation", "a\x80", false},
                      Utf8ValidityCase{"CutShort", "\xE4\xB8", false},
                      Utf8ValidityCase{"BadContinuation", "\xE4\x41\xAD", false},
                      Utf8ValidityCase{"Latin1Word", "caf\xE9", false}),
    [](const auto& row) { return std::string(row.param.label); });

TEST(Utf8Test, NonAsciiByteIsFoundAnywhere) {
  EXPECT_FALSE(HasNonAsciiByte("plain\x7F"));
  EXPECT_TRUE(HasNonAsciiByte("\x80plain"));
  EXPECT_TRUE(HasNonAsciiByte("plain\xFF"));
}

// Texts the conversion gives without asking the converter (plain ASCII, Latin-1, well-formed
// UTF-8) and their near misses, which go to the converter: the text must be the converter's
// own, byte for byte, either way.
struct ConverterAgreementCase {
  const char* name;
  int codePage;
  std::string_view bytes;
};

void PrintTo(const ConverterAgreementCase& row, std::ostream* out) {
  *out << row.name;
}

class ConverterAgreementTest : public ::testing::TestWithParam<ConverterAgreementCase> {};

TEST_P(ConverterAgreementTest, GivesWhatTheConverterGives) {
  const ConverterAgreementCase& row = GetParam();
  const ConverterNames names = ConverterNamesFor(row.codePage);
  ASSERT_NE(names.icu, nullptr);
  if (!IsIcuConverterAvailable(names.icu)) GTEST_SKIP() << names.icu << " is not on this machine";
  std::u16string expected;
  ASSERT_TRUE(IcuToUtf16(names.icu, row.bytes, expected));
  EXPECT_EQ(CodePageToUtf16(row.codePage, row.bytes), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConverterAgreementTest,
    ::testing::Values(
        ConverterAgreementCase{"utf8_ascii", 65001, "Re: lunch\tat noon\r\n"sv},
        ConverterAgreementCase{
            "utf8_two_three_four_bytes", 65001,
            "Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"sv},
        ConverterAgreementCase{"utf8_edges", 65001, "\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD"sv},
        ConverterAgreementCase{"utf8_nul_and_controls", 65001, "a\0b\x01\x7F\xC3\xA9"sv},
        ConverterAgreementCase{"utf8_byte_order_mark", 65001, "\xEF\xBB\xBFSubject"sv},
        ConverterAgreementCase{"utf8_cut_short", 65001, "caf\xC3"sv},
        ConverterAgreementCase{"utf8_overlong", 65001, "\xC0\xAF\xE0\x80\xAF"sv},
        ConverterAgreementCase{"utf8_surrogate", 65001, "\xED\xA0\x80x"sv},
        ConverterAgreementCase{"utf8_latin1_bytes", 65001, "caf\xE9 cr\xE8me"sv},
        ConverterAgreementCase{"latin1_every_high_byte", 28591,
                               "\x80\x81\x9F\xA0\xA4\xBF\xC0\xE9\xFF and \x01\x1B"sv},
        ConverterAgreementCase{"windows1252_ascii", 1252, "Hello, world\r\n"sv},
        ConverterAgreementCase{"windows1252_high", 1252, "\x80 \x93quoted\x94 \x81"sv},
        ConverterAgreementCase{"windows1252_control", 1252, "bell\x07 escape\x1B"sv},
        ConverterAgreementCase{"windows1251_ascii", 1251, "Plain words"sv},
        ConverterAgreementCase{"latin2_high", 28592, "\xB1\xE6\xEA"sv},
        ConverterAgreementCase{"us_ascii_plain", 20127, "plain ~ text"sv},
        ConverterAgreementCase{"us_ascii_high_byte", 20127, "caf\xE9"sv},
        ConverterAgreementCase{"thai_ascii", 874, "ASCII only"sv},
        ConverterAgreementCase{"shift_jis_ascii", 932, "ASCII only\\~"sv}),
    [](const ::testing::TestParamInfo<ConverterAgreementCase>& row) {
      return std::string(row.param.name);
    });

}  // namespace
}  // namespace quillon
