#include "output/file_naming.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/test_helpers.h"
#include "text/code_page.h"
#include "text/utf8.h"

namespace quillon {
namespace {

using test::RowName;
// Dates and untagged text in these tests are Western European.
const RenderOptions kWestern{1252};

// --- SanitizeFileName ---------------------------------------------------------------------------

struct SanitizeRow {
  const char* name;
  std::u16string input;
  std::u16string expected;
};

class Sanitize : public ::testing::TestWithParam<SanitizeRow> {};

TEST_P(Sanitize, ReplacesWhatAFileNameMayNotHold) {
  const std::u16string result = SanitizeFileName(GetParam().input);
  EXPECT_EQ(result, GetParam().expected);
  EXPECT_EQ(SanitizeFileName(result), result) << "sanitizing twice changes nothing";
}

INSTANTIATE_TEST_SUITE_P(
    FileNaming, Sanitize,
    ::testing::Values(
        SanitizeRow{"TheNineCharacters", u"a\"b<c:d>e|f?g\\h/i*j", u"a b c d e f g h i j"},
        SanitizeRow{"ControlCharacters",
                    std::u16string(u"a\x01"
                                   u"b\x1F"
                                   u"c\x7F"
                                   u"d"),
                    u"a b c d"},
        // The two blanks the line break leaves at the end are dropped by Windows.
        SanitizeRow{"NulTabAndLineBreaks", std::u16string(u"a\0b\tc\r\n", 7), u"a b c__"},
        SanitizeRow{"FirstPrintableCharactersStay", u" ~!@#$%^&()[]{};',=+`",
                    u" ~!@#$%^&()[]{};',=+`"},
        SanitizeRow{"OtherLettersStay", u"Grüße 汉字 Ωmega", u"Grüße 汉字 Ωmega"},
        SanitizeRow{"Dot", u".", u"_"}, SanitizeRow{"DotDot", u"..", u"__"},
        SanitizeRow{"ThreeDots", u"...", u"___"}, SanitizeRow{"DotDotWithText", u"..a", u"_.a"},
        SanitizeRow{"LeadingDotWouldHideTheFile", u".profile", u"_profile"},
        SanitizeRow{"TrailingDotAndBlanks", u"name. .", u"name___"},
        SanitizeRow{"InnerDotsAndBlanksStay", u" a. b.c", u" a. b.c"},
        SanitizeRow{"DeviceName", u"CON", u"CON_"},
        SanitizeRow{"DeviceNameWithExtension", u"con.txt", u"con_.txt"},
        SanitizeRow{"DeviceNameMixedCase", u"nUl.tar.gz", u"nUl_.tar.gz"},
        SanitizeRow{"DeviceNameBeforeBlanks", u"Aux  .eml", u"Aux_  .eml"},
        SanitizeRow{"NumberedDevices", u"com1", u"com1_"},
        SanitizeRow{"LastNumberedDevice", u"LPT9.eml", u"LPT9_.eml"},
        SanitizeRow{"PrinterDevice", u"prn", u"prn_"},
        SanitizeRow{"DeviceNameInABatchName", u"CON_[2009-03-09]", u"CON_[2009-03-09]"},
        SanitizeRow{"NoDeviceNumberedZero", u"COM0", u"COM0"},
        SanitizeRow{"NoDeviceNumberedTen", u"LPT10.eml", u"LPT10.eml"},
        SanitizeRow{"NoDeviceLongerName", u"CONSOLE.eml", u"CONSOLE.eml"},
        SanitizeRow{"NoDeviceAfterADot", u"x.CON", u"x.CON"},
        SanitizeRow{"SurrogatePairStays", u"a\U0001F600b", u"a\U0001F600b"},
        SanitizeRow{"LoneHighSurrogate", std::u16string(u"a") + char16_t(0xD800) + u"b",
                    u"a\uFFFDb"},
        SanitizeRow{"LoneLowSurrogate", std::u16string(1, char16_t(0xDC00)), u"\uFFFD"},
        SanitizeRow{"HighSurrogateAtTheEnd", std::u16string(u"ab") + char16_t(0xD83D), u"ab\uFFFD"},
        SanitizeRow{"PairInTheWrongOrder", std::u16string{char16_t(0xDE00), char16_t(0xD83D)},
                    u"\uFFFD\uFFFD"},
        SanitizeRow{"Empty", u"", u""}),
    RowName{});

// --- DefaultFileName and BatchFileName ----------------------------------------------------------

struct NameRow {
  const char* name;
  std::u16string subject;
  std::string date;
  std::u16string defaultEml;
  std::u16string batch;
};

class Names : public ::testing::TestWithParam<NameRow> {};

TEST_P(Names, CutTheSubjectAndKeepTheDate) {
  auto record = std::make_shared<MailRecord>();
  record->SetSubjectText(GetParam().subject);
  record->date = GetParam().date;
  EXPECT_EQ(DefaultFileName(*record, SaveFormat::Eml, kWestern), GetParam().defaultEml);
  EXPECT_EQ(BatchFileName(*record, kWestern), GetParam().batch);
}

INSTANTIATE_TEST_SUITE_P(
    FileNaming, Names,
    ::testing::Values(
        NameRow{"NormalisedDateLosesItsColons", u"Hello", "2009-03-09 10:11:12",
                u"Hello [2009-03-09 10 11 12].eml", u"Hello_[2009-03-09 10 11 12]"},
        NameRow{"Subject19Units", u"abcdefghijklmnopqrs", "d", u"abcdefghijklmnopqrs [d].eml",
                u"abcdefghijklmnopqrs_[d]"},
        NameRow{"Subject20Units", u"abcdefghijklmnopqrst", "d", u"abcdefghijklmnopqrst [d].eml",
                u"abcdefghijklmnopqrst_[d]"},
        NameRow{"Subject21UnitsIsCut", u"abcdefghijklmnopqrstu", "d",
                u"abcdefghijklmnopqrst [d].eml", u"abcdefghijklmnopqrst_[d]"},
        NameRow{"ReplyPrefixKeepsItsLength", u"Re: a/b?", "d", u"Re  a b  [d].eml",
                u"Re  a b _[d]"},
        NameRow{"UnnormalisedDateIsNeverCut", u"x", "Fri, 1 Jan 1988 00:00:00 GMT (a long zone)",
                u"x [Fri, 1 Jan 1988 00 00 00 GMT (a long zone)].eml",
                u"x_[Fri, 1 Jan 1988 00 00 00 GMT (a long zone)]"},
        NameRow{"DateInTheAnsiCodePage", u"x",
                "1 D\xE9"
                "c",
                u"x [1 D\u00E9c].eml", u"x_[1 D\u00E9c]"},
        NameRow{"NoSubject", u"( No Subject )", "", u"( No Subject ) [].eml", u"( No Subject )_[]"},
        // The cut falls between the halves of a surrogate pair: the lone half is replaced.
        NameRow{"CutInsideASurrogatePair", u"abcdefghijklmnopqrs\U0001F600", "d",
                u"abcdefghijklmnopqrs\uFFFD [d].eml", u"abcdefghijklmnopqrs\uFFFD_[d]"}),
    RowName{});

// A single save's name fits into one path component like a batch name: the subject part is cut
// at a character boundary, the date part and the extension stay.
TEST(FileNaming, DefaultNameFitsInto255Bytes) {
  struct Row {
    std::u16string subject;
    std::string date;
  };
  const Row rows[] = {{u"\u6C49\u6C49\u6C49", std::string(240, 'd')},
                      {u"abc", std::string(244, 'd')},
                      {u"x", std::string(600, '\xE9')}};
  for (const Row& row : rows) {
    auto record = std::make_shared<MailRecord>();
    record->SetSubjectText(row.subject);
    record->date = row.date;
    const std::string name = Utf16ToUtf8(DefaultFileName(*record, SaveFormat::Eml, kWestern));
    EXPECT_LE(name.size(), 255u) << name;
    EXPECT_TRUE(IsValidUtf8(name)) << name;
    EXPECT_TRUE(name.ends_with(".eml")) << name;
    if (row.date.size() < 245) {
      EXPECT_TRUE(name.ends_with(" [" + row.date + "].eml")) << name;
    }
  }
}

TEST(FileNaming, DefaultNameOfATextSaveEndsInTxt) {
  auto record = std::make_shared<MailRecord>();
  record->SetSubjectText(u"Hi");
  record->date = "2009-03-09 10:11:12";
  EXPECT_EQ(DefaultFileName(*record, SaveFormat::Txt, kWestern), u"Hi [2009-03-09 10 11 12].txt");
}

// --- ReservePath ---------------------------------------------------------------------------------

const std::filesystem::path kFolder = "/saved/Mail Box";

std::string FileNameOf(const std::filesystem::path& path) {
  return path.filename().string();
}

TEST(FileNaming, ClashesGetTheSmallestUnusedNumber) {
  UsedNameSet used;
  EXPECT_EQ(ReservePath(used, kFolder, u"Hi_[d]", ".eml"), kFolder / "Hi_[d]");
  EXPECT_EQ(ReservePath(used, kFolder, u"Hi_[d]", ".eml"), kFolder / "Hi_[d]_1");
  EXPECT_EQ(ReservePath(used, kFolder, u"Hi_[d]", ".eml"), kFolder / "Hi_[d]_2");
  EXPECT_TRUE(used.Contains(kFolder / "Hi_[d]_1"));
}

TEST(FileNaming, ANumberTakenByAnotherNameIsSkipped) {
  UsedNameSet used;
  EXPECT_EQ(ReservePath(used, kFolder, u"Hi_1", ".eml"), kFolder / "Hi_1");
  EXPECT_EQ(ReservePath(used, kFolder, u"Hi", ".eml"), kFolder / "Hi");
  EXPECT_EQ(ReservePath(used, kFolder, u"Hi", ".eml"), kFolder / "Hi_2");
}

// A run remembers how far it looked for each base name; what it hands out is still the smallest
// number no name of the run holds, whatever other names took meanwhile.
struct SequenceRow {
  const char* name;
  std::vector<std::u16string> bases;  // reserved in this order, all with ".eml"
  std::vector<std::string> names;     // what each got
};

class ClashSequence : public ::testing::TestWithParam<SequenceRow> {};

TEST_P(ClashSequence, HandsOutTheSmallestNumberNoNameHolds) {
  UsedNameSet used;
  std::vector<std::string> names;
  for (const std::u16string& base : GetParam().bases)
    names.push_back(FileNameOf(ReservePath(used, kFolder, base, ".eml")));
  EXPECT_EQ(names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(FileNaming, ClashSequence,
                         ::testing::Values(SequenceRow{"ManyCopies",
                                                       {u"Hi", u"Hi", u"Hi", u"Hi", u"Hi"},
                                                       {"Hi", "Hi_1", "Hi_2", "Hi_3", "Hi_4"}},
                                           SequenceRow{"AnotherNameTookTheNextNumber",
                                                       {u"Hi", u"Hi", u"Hi_2", u"Hi", u"Hi"},
                                                       {"Hi", "Hi_1", "Hi_2", "Hi_3", "Hi_4"}},
                                           SequenceRow{"AnotherNameTookANumberFurtherOn",
                                                       {u"Hi", u"Hi_3", u"Hi", u"Hi", u"Hi"},
                                                       {"Hi", "Hi_3", "Hi_1", "Hi_2", "Hi_4"}},
                                           SequenceRow{"LetterCaseVariantsShareTheNumbers",
                                                       {u"Hi", u"hI", u"Hi", u"HI", u"hI"},
                                                       {"Hi", "hI_1", "Hi_2", "HI_3", "hI_4"}},
                                           SequenceRow{"TwoBasesApart",
                                                       {u"A", u"B", u"A", u"B", u"A"},
                                                       {"A", "B", "A_1", "B_1", "A_2"}}),
                         RowName{});

// vfat, exFAT and NTFS take names that differ only in letter case for one file: a run never hands
// out two such names, also where it writes to a folder that does not fold case itself (the files
// may be copied onto a USB stick later).
struct CaseRow {
  const char* name;
  std::u16string first;
  std::u16string second;
  bool clash;
};

class CaseFolding : public ::testing::TestWithParam<CaseRow> {};

TEST_P(CaseFolding, NamesThatOneFileSystemTakesForOneFileClash) {
  UsedNameSet used;
  const std::filesystem::path first = ReservePath(used, kFolder, GetParam().first, ".eml");
  const std::filesystem::path second = ReservePath(used, kFolder, GetParam().second, ".eml");
  const std::string secondName = Utf16ToUtf8(SanitizeFileName(GetParam().second));
  EXPECT_EQ(FileNameOf(first), Utf16ToUtf8(SanitizeFileName(GetParam().first)));
  EXPECT_EQ(FileNameOf(second), GetParam().clash ? secondName + "_1" : secondName);
}

INSTANTIATE_TEST_SUITE_P(
    FileNaming, CaseFolding,
    ::testing::Values(CaseRow{"AsciiLetters", u"Mail_[d]", u"mAIL_[d]", true},
                      CaseRow{"AccentedLetters", u"R\u00E9sum\u00E9", u"R\u00C9SUM\u00C9", true},
                      CaseRow{"Cyrillic", u"\u041F\u0440\u0438\u0432\u0435\u0442",
                              u"\u043F\u0420\u0418\u0412\u0415\u0422", true},
                      CaseRow{"GreekFinalSigma", u"\u039F\u0394\u039F\u03A3",
                              u"\u03BF\u03B4\u03BF\u03C2", true},
                      CaseRow{"FullWidthLetters", u"\uFF21", u"\uFF41", true},
                      // One character each way: the file systems' up-case tables do not make "SS"
                      // of "ß".
                      CaseRow{"SharpSIsNotTwoLetters", u"Stra\u00DFe", u"STRASSE", false},
                      CaseRow{"DifferentLetters", u"Mail", u"Mails", false},
                      CaseRow{"CjkHasNoCase", u"\u6C49\u5B57", u"\u6C49\u5B57x", false}),
    RowName{});

TEST(FileNaming, EachRunStartsWithAnEmptySet) {
  UsedNameSet first;
  UsedNameSet second;
  EXPECT_EQ(ReservePath(first, kFolder, u"Hi", ".eml"),
            ReservePath(second, kFolder, u"Hi", ".eml"));
}

struct LongNameRow {
  const char* name;
  std::u16string base;
  std::size_t expectedBytes;  // of the file name with its extension
  std::string expectedEnd;    // how the file name (without extension) must end
};

class LongNames : public ::testing::TestWithParam<LongNameRow> {};

TEST_P(LongNames, FitIntoOneComponentOnUtf8Boundaries) {
  UsedNameSet used;
  for (int round = 0; round < 3; ++round) {
    const std::filesystem::path path = ReservePath(used, kFolder, GetParam().base, ".eml");
    const std::string name = FileNameOf(path);
    const std::string withExtension = name + ".eml";
    EXPECT_EQ(path.parent_path(), kFolder);
    EXPECT_TRUE(IsValidUtf8(name)) << name;
    if (round == 0) {
      EXPECT_EQ(withExtension.size(), GetParam().expectedBytes);
      EXPECT_TRUE(name.ends_with(GetParam().expectedEnd)) << name;
    } else {
      EXPECT_LE(withExtension.size(), 255u);
      EXPECT_TRUE(name.ends_with("_" + std::to_string(round))) << name;
    }
  }
}

std::u16string Repeat(std::u16string_view text, std::size_t times) {
  std::u16string out;
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    FileNaming, LongNames,
    ::testing::Values(
        LongNameRow{"At255Bytes", Repeat(u"a", 251), 255, "a"},
        LongNameRow{"At256BytesCutByOne", Repeat(u"a", 252), 255, "a"},
        // 20 three-byte characters and a date part of 201 bytes make 261 bytes, 10 more than
        // fit beside ".eml": a cut at 50 bytes would split a character, so it falls at 48.
        LongNameRow{"SubjectCutDatePartKept", Repeat(u"汉", 20) + u"_[" + Repeat(u"d", 198) + u"]",
                    253, "_[" + std::string(198, 'd') + "]"},
        // A date part that alone is too long is cut at a character boundary too: 4 + 2 * 123.
        LongNameRow{"DatePartTooLong", u"xy_[" + Repeat(u"é", 300) + u"]", 254, "é"}),
    RowName{});

TEST(FileNaming, NamesThatWouldLeaveTheFolderStayInIt) {
  UsedNameSet used;
  for (std::u16string_view base : {u"", u".", u"..", u"../x", u"/etc/passwd", u"a/../../b"}) {
    const std::filesystem::path path = ReservePath(used, kFolder, base, ".eml");
    EXPECT_EQ(path.parent_path(), kFolder) << path;
    EXPECT_NE(FileNameOf(path), ".");
    EXPECT_NE(FileNameOf(path), "..");
  }
}

}  // namespace
}  // namespace quillon
