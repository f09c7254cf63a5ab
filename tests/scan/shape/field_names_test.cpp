// What a field's name looks like where old bytes run into it.
#include "scan/shape/field_names.h"

#include <gtest/gtest.h>

#include <string_view>

namespace quillon::shape_names {
namespace {

struct NameRow {
  const char* name;
  std::string_view text;  // the run of name bytes in front of a colon
  std::size_t inside;     // where a well-formed name begins inside it (0: none)
};

void PrintTo(const NameRow& row, std::ostream* out) {
  *out << row.name;
}

class WellFormedNameTest : public testing::TestWithParam<NameRow> {};

TEST_P(WellFormedNameTest, FindsTheNameInside) {
  EXPECT_EQ(WellFormedNameInside(GetParam().text), GetParam().inside);
}

INSTANTIATE_TEST_SUITE_P(
    Names, WellFormedNameTest,
    testing::Values(NameRow{"WholeNameOfWords", "Thread-Topic", 0},
                    NameRow{"WholeNameWithAcronym", "Received-SPF", 0},
                    NameRow{"WholeNameOpeningWithAcronym", "ARC-Message-Signature", 0},
                    NameRow{"LowerCaseLaterWord", "Return-path", 0},
                    NameRow{"BehindLowerCaseText", "xxxxLines", 4},
                    NameRow{"BehindTheDateOfALogLine", "2008-06-0Errors-To", 9},
                    NameRow{"BehindAFieldOfCsv", "46272;museum;Its;2378.84;butPath", 28},
                    NameRow{"BehindCapitals", "ABLines", 2},
                    NameRow{"CapitalisedWordInFrontIsOneName", "ExtLoop1", 0},
                    NameRow{"BehindACapitalisedWordWithADigit", "River9Thread-Index", 6},
                    NameRow{"NotBehindAHyphen", "X-Spam-Status", 0},
                    NameRow{"NotBehindAHyphenOfOldText", "foo-Lines", 0},
                    NameRow{"NotBehindAnUnderscore", "X_Mailer_Info", 0},
                    NameRow{"UnderscoreAndDotInAName", "X-Filter_Id.3", 0},
                    NameRow{"BehindOldTextWithAnUnderscore", "ab_cdThread-Index", 5},
                    NameRow{"NoNameInside", "lowercase", 0}, NameRow{"TooShortInside", "abcDe", 0},
                    NameRow{"LongRunOfCapitalsIsNoWord", "abcDQAKAEQAZQ", 0},
                    NameRow{"SingleCapitalOnlyBeforeAHyphen", "abX", 0},
                    NameRow{"BehindAStrayCapital", "SPriority", 1},
                    NameRow{"BehindARuleOfUnderscores", "_____Approved", 5},
                    NameRow{"BehindOneUnderscore", "_Approved", 1},
                    NameRow{"BehindADateCutAtItsHyphen", "2008-Original-Message-ID", 5},
                    NameRow{"WordWithACapitalOfItsOwn", "versionPrevent-NonDelivery-Report", 7},
                    NameRow{"NotInsideARunOfCapitals", "CoppARC-Message-Signature", 0}),
    [](const testing::TestParamInfo<NameRow>& row) { return row.param.name; });

struct KnownNameRow {
  const char* name;
  std::string_view text;
  bool known;
};

void PrintTo(const KnownNameRow& row, std::ostream* out) {
  *out << row.name;
}

class KnownFieldNameTest : public testing::TestWithParam<KnownNameRow> {};

TEST_P(KnownFieldNameTest, KnowsTheName) {
  EXPECT_EQ(IsKnownFieldName(GetParam().text), GetParam().known);
}

// Names the scan reads and names blocks open with, in any letter case; a name one byte longer,
// shorter or other is none, nor is one longer than any the lists hold.
INSTANTIATE_TEST_SUITE_P(
    Names, KnownFieldNameTest,
    testing::Values(KnownNameRow{"FieldTheScanReads", "Return-Path", true},
                    KnownNameRow{"LongestFieldTheScanReads", "content-transfer-encoding", true},
                    KnownNameRow{"OpeningName", "Sender", true},
                    KnownNameRow{"OpeningNameInCapitals", "DKIM-SIGNATURE", true},
                    KnownNameRow{"LongestOpeningName", "Authentication-Results", true},
                    KnownNameRow{"ShortestOpeningName", "Path", true},
                    KnownNameRow{"LastOpeningName", "Lines", true},
                    KnownNameRow{"OpeningNameOfAFieldsLength", "Status", true},
                    KnownNameRow{"FourthOpeningNameOfItsLength", "Recieved", true},
                    KnownNameRow{"FiledCopyOfADraft", "FCC", true},
                    KnownNameRow{"FiledCopyOfADraftAsWritten", "Fcc", true},
                    KnownNameRow{"OneByteOther", "Authentication-Resultz", false},
                    KnownNameRow{"FirstLetterNoNameOfItsLengthHas", "Qender", false},
                    KnownNameRow{"SignBelowTheLettersFirst", "@ender", false},
                    KnownNameRow{"SignAboveTheLettersFirst", "{ender", false},
                    KnownNameRow{"BracketBetweenTheCasesFirst", "[ender", false},
                    KnownNameRow{"OneByteLonger", "Senders", false},
                    KnownNameRow{"OneByteShorter", "Sende", false},
                    KnownNameRow{"LongerThanAnyName", "Authentication-Results-And-More", false},
                    KnownNameRow{"Empty", "", false}),
    [](const testing::TestParamInfo<KnownNameRow>& row) { return row.param.name; });

struct FormRow {
  const char* name;
  std::string_view text;
  bool wellFormed;
};

void PrintTo(const FormRow& row, std::ostream* out) {
  *out << row.name;
}

class NameFormTest : public testing::TestWithParam<FormRow> {};

TEST_P(NameFormTest, TellsTheFormOfAName) {
  EXPECT_EQ(IsWellFormedName(GetParam().text), GetParam().wellFormed);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameFormTest,
    testing::Values(FormRow{"Word", "Precedence", true}, FormRow{"Acronym", "MIME-Version", true},
                    FormRow{"IdentityWord", "Message-ID", true},
                    FormRow{"PrivatePrefix", "X-YMAIL-UMID", true},
                    FormRow{"CapitalInsideAWord", "DomainKey-Signature", false},
                    FormRow{"CapitalBeginsAWordInALaterWord", "Prevent-NonDelivery-Report", true},
                    FormRow{"CapitalsRunOnInALaterWord", "Prevent-NonDELivery", false},
                    FormRow{"CapitalEndsALaterWord", "Prevent-NonD", false},
                    FormRow{"LowerCaseFirst", "thread-topic", false},
                    FormRow{"TrailingHyphen", "Thread-", false},
                    FormRow{"DoubleHyphen", "Thread--Topic", false},
                    FormRow{"SingleCapital", "X", false}, FormRow{"TwoLetters", "Cc", false},
                    FormRow{"OtherBytes", "Its;Path", false}),
    [](const testing::TestParamInfo<FormRow>& row) { return row.param.name; });

struct LowerCaseRow {
  const char* name;
  std::string_view line;  // the line right above a header block
  std::size_t start;      // where a lower-case field's line begins in it
};

void PrintTo(const LowerCaseRow& row, std::ostream* out) {
  *out << row.name;
}

class LowerCaseFieldTest : public testing::TestWithParam<LowerCaseRow> {};

TEST_P(LowerCaseFieldTest, FindsTheGluedLine) {
  EXPECT_EQ(LowerCaseFieldGluedInto(GetParam().line), GetParam().start);
}

constexpr std::size_t kNone = std::string_view::npos;

INSTANTIATE_TEST_SUITE_P(
    Lines, LowerCaseFieldTest,
    testing::Values(
        LowerCaseRow{"ReturnPathBehindAWord", "orange can hasreturn-path: <a@b.example>", 14},
        LowerCaseRow{"ReturnPathBehindABlank", "orange can has return-path: <a@b.example>", 15},
        LowerCaseRow{"TraceLineBehindMarkup", "<br>received: from mx.example.net", 4},
        LowerCaseRow{"VersionBehindCsv", "3755;be;Modern;2mime-version: 1.0", 16},
        LowerCaseRow{"IdentityBehindBinaryTail", "KxBmessage-id: <1@b.example>", 3},
        LowerCaseRow{"ValueOutOfGrammar", "words return-path: nobody knows", kNone},
        LowerCaseRow{"HyphenatedNameRunIntoAWord", "the harbourdelivered-to: a@b.example", 11},
        LowerCaseRow{"HyphenatedNameBehindABlank", "set the content-type: text/plain", kNone},
        LowerCaseRow{"NoBlankBehindTheColon", "harbourdelivered-to:a@b.example", kNone},
        LowerCaseRow{"WordRunIntoAName", "harboursender: a@b.example", kNone},
        LowerCaseRow{"SignedNameList", "  h=date:from:to:subject:message-id:in-reply-to:", kNone},
        LowerCaseRow{"SignedNameListWithBlanks", "  h=date: in-reply-to: message-id", kNone},
        LowerCaseRow{"ShortNameHasNoRule", "the meeting date: Fri, 1 Jun 2001 10:00:00 +0000",
                     kNone},
        LowerCaseRow{"CapitalisedNameIsNotThisRule", "wordsReturn-Path: <a@b.example>", kNone},
        LowerCaseRow{"TailOfAHyphenatedName", "x-original-received: from x", kNone},
        LowerCaseRow{"LineOfItsOwn", "received: from mx.example.net", kNone}),
    [](const testing::TestParamInfo<LowerCaseRow>& row) { return row.param.name; });

struct UnknownFieldRow {
  const char* name;
  std::string_view line;   // the line right above a header block
  std::string_view glued;  // the field line glued into it, from its start on; empty: none
};

void PrintTo(const UnknownFieldRow& row, std::ostream* out) {
  *out << row.name;
}

class WellFormedFieldTest : public testing::TestWithParam<UnknownFieldRow> {};

TEST_P(WellFormedFieldTest, FindsTheGluedLine) {
  const UnknownFieldRow& row = GetParam();
  const std::size_t start = WellFormedFieldGluedInto(row.line);
  if (row.glued.empty()) {
    EXPECT_EQ(start, kNone);
    return;
  }
  ASSERT_NE(start, kNone);
  EXPECT_EQ(row.line.substr(start), row.glued);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WellFormedFieldTest,
    testing::Values(
        // A field's line glued to a line of prose that ends in a blank, or in a word that runs
        // into the name.
        UnknownFieldRow{"HyphenatedNameBehindABlank", "see the notes below Thread-Topic: Plans",
                        "Thread-Topic: Plans"},
        UnknownFieldRow{"AcronymNameBehindABlank", "their PICS-Label: (PICS-1.1 \"x\")",
                        "PICS-Label: (PICS-1.1 \"x\")"},
        UnknownFieldRow{"EmptyValueBehindABlank",
                        "one may the Prevent-NonDelivery-Report: ", "Prevent-NonDelivery-Report: "},
        UnknownFieldRow{"OneWordWithATokenBehindABlank", "silver block budget Priority: normal",
                        "Priority: normal"},
        UnknownFieldRow{"OneWordWithAnAddressBehindABlank",
                        "or figure. Simple Approved: m@b.example", "Approved: m@b.example"},
        UnknownFieldRow{"OneWordWithParametersBehindABlank",
                        "all Autocrypt: addr=a@b.example; keydata=mQENB",
                        "Autocrypt: addr=a@b.example; keydata=mQENB"},
        UnknownFieldRow{"BehindACapitalisedWordOfProse", "was quiet. LetterApproved: m@b.example",
                        "Approved: m@b.example"},
        UnknownFieldRow{"BehindAWordRunIntoTheName", "the waterThread-Topic: Plans",
                        "Thread-Topic: Plans"},
        // Prose that a colon follows, and lines of their own.
        UnknownFieldRow{"OneWordWithASentenceBehindABlank",
                        "see the notes below Summary: the plans", ""},
        UnknownFieldRow{"NameOpensTheLine", "Thread-Topic: Plans", ""},
        UnknownFieldRow{"WordOpensTheLine", "Note: see below", ""},
        UnknownFieldRow{"BehindQuoteMarks", "> > Thread-Topic: Plans", ""},
        UnknownFieldRow{"BehindBlanksAlone", "    Thread-Topic: Plans", ""},
        UnknownFieldRow{"ReplyPrefixBehindABlank", "about the plans Antw: ok", ""},
        UnknownFieldRow{"ShortFirstWordBehindABlank", "see the A-Team: now", ""},
        UnknownFieldRow{"CapitalisedWordsAtTheLineStart", "ExtLoop1: 1", ""},
        UnknownFieldRow{"LowerCaseWordBehindABlank", "the parts are: normal", ""},
        UnknownFieldRow{"NameInAList", "h=From:To: Thread-Topic: Plans", ""}),
    [](const testing::TestParamInfo<UnknownFieldRow>& row) { return row.param.name; });

class NameBehindAWordTest : public testing::TestWithParam<NameRow> {};

TEST_P(NameBehindAWordTest, FindsTheNameBehindTheWord) {
  EXPECT_EQ(WellFormedNameBehindAWord(GetParam().text), GetParam().inside);
}

INSTANTIATE_TEST_SUITE_P(Names, NameBehindAWordTest,
                         testing::Values(NameRow{"CapitalisedWord", "LetterApproved", 6},
                                         NameRow{"ShortWord", "CaOriginator", 2},
                                         NameRow{"WordInFrontOfAnAcronym",
                                                 "CoppARC-Message-Signature", 4},
                                         NameRow{"BehindCapitalsAlone", "ABLines", 0},
                                         NameRow{"NoNameBehind", "Letterapproved", 0},
                                         NameRow{"TooShortBehind", "LetterAb", 0}),
                         [](const testing::TestParamInfo<NameRow>& row) { return row.param.name; });

// A line garbled in front of a field's name: one word of letters and a blank, nothing else.
struct GarbledRow {
  const char* name;
  std::string_view line;  // a line that is no field line, a field's name glued into it
  bool garbled;
};

void PrintTo(const GarbledRow& row, std::ostream* out) {
  *out << row.name;
}

class WordInFrontTest : public testing::TestWithParam<GarbledRow> {};

TEST_P(WordInFrontTest, TellsAGarbledLine) {
  const std::string_view line = GetParam().line;
  EXPECT_EQ(WordInFrontOfAName(line, line.find("Delivered-To:")), GetParam().garbled);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WordInFrontTest,
    testing::Values(
        GarbledRow{"LowerCaseWord", "quite Delivered-To: a@b.example", true},
        GarbledRow{"CapitalisedWord", "Quite Delivered-To: a@b.example", true},
        GarbledRow{"OneLetter", "x Delivered-To: a@b.example", true},
        GarbledRow{"SixteenLetters", "abcdefghijklmnop Delivered-To: a@b.example", true},
        GarbledRow{"SeventeenLetters", "abcdefghijklmnopq Delivered-To: a@b.example", false},
        GarbledRow{"TwoWords", "quite so Delivered-To: a@b.example", false},
        GarbledRow{"TwoBlanks", "quite  Delivered-To: a@b.example", false},
        GarbledRow{"TabInFront", "quite\tDelivered-To: a@b.example", false},
        GarbledRow{"Digits", "ver2 Delivered-To: a@b.example", false},
        GarbledRow{"Punctuation", "it. Delivered-To: a@b.example", false},
        GarbledRow{"RunIntoTheName", "quiteDelivered-To: a@b.example", false},
        GarbledRow{"BlankAlone", " Delivered-To: a@b.example", false}),
    [](const testing::TestParamInfo<GarbledRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::shape_names
