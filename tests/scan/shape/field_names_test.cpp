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
                    NameRow{"NoNameInside", "lowercase", 0}, NameRow{"TooShortInside", "abcDe", 0},
                    NameRow{"LongRunOfCapitalsIsNoWord", "abcDQAKAEQAZQ", 0},
                    NameRow{"SingleCapitalOnlyBeforeAHyphen", "abX", 0}),
    [](const testing::TestParamInfo<NameRow>& row) { return row.param.name; });

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
                    FormRow{"LowerCaseFirst", "thread-topic", false},
                    FormRow{"TrailingHyphen", "Thread-", false},
                    FormRow{"DoubleHyphen", "Thread--Topic", false},
                    FormRow{"SingleCapital", "X", false}, FormRow{"TwoLetters", "Cc", false},
                    FormRow{"OtherBytes", "Its;Path", false}),
    [](const testing::TestParamInfo<FormRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::shape_names
