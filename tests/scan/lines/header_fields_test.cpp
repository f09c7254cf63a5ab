// Every name of the table reads as its field in any letter case, and nothing else does.
#include "scan/lines/header_fields.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace quillon {
namespace {

std::string InCase(std::string_view name, int (*change)(int)) {
  std::string text(name);
  for (char& c : text) c = static_cast<char>(change(static_cast<unsigned char>(c)));
  return text;
}

class FieldNamedTest : public testing::TestWithParam<std::size_t> {};

TEST_P(FieldNamedTest, NamesItsFieldInAnyCase) {
  const auto field = static_cast<HeaderField>(GetParam());
  const std::string_view name = NameOf(field);
  for (const std::string& text :
       {std::string(name), InCase(name, std::tolower), InCase(name, std::toupper)})
    EXPECT_EQ(FieldNamed(text), field) << text;
}

TEST_P(FieldNamedTest, NamesNothingWithALetterMoreOrLess) {
  const std::string name(NameOf(static_cast<HeaderField>(GetParam())));
  for (const std::string& text :
       {name + "s", "X" + name, name.substr(0, name.size() - 1), name.substr(1), name + ":"})
    EXPECT_EQ(FieldNamed(text), std::nullopt) << text;
  std::string changed = name;
  changed.back() = changed.back() == 'q' ? 'r' : 'q';
  EXPECT_EQ(FieldNamed(changed), std::nullopt) << changed;
}

INSTANTIATE_TEST_SUITE_P(EveryField, FieldNamedTest,
                         testing::Range<std::size_t>(0, header_fields::kPrefixes.size()),
                         [](const testing::TestParamInfo<std::size_t>& row) {
                           std::string label;
                           for (const char c : NameOf(static_cast<HeaderField>(row.param)))
                             if (std::isalnum(static_cast<unsigned char>(c))) label += c;
                           return label;
                         });

// The plain reading: the name compared with each of the table's, byte by byte.
std::optional<HeaderField> PlainFieldNamed(std::string_view name) {
  for (std::size_t i = 0; i < header_fields::kPrefixes.size(); ++i) {
    const auto field = static_cast<HeaderField>(i);
    if (name.size() == NameOf(field).size() && StartsWithNoCase(name, NameOf(field))) return field;
  }
  return std::nullopt;
}

// Every byte value at every place of every name, and of every cut of a prefix as the walk
// compares one: the words compared at once must tell what a byte at a time tells.
TEST_P(FieldNamedTest, AgreesWithThePlainReadingForEveryByteAtEveryPlace) {
  const std::string_view prefix = header_fields::kPrefixes[GetParam()];
  const std::string name(NameOf(static_cast<HeaderField>(GetParam())));
  for (std::size_t place = 0; place < prefix.size(); ++place) {
    for (int value = 0; value < 256; ++value) {
      std::string text(prefix);
      text[place] = static_cast<char>(value);
      if (place < name.size()) {
        const std::string_view changed = std::string_view(text).substr(0, name.size());
        EXPECT_EQ(FieldNamed(changed), PlainFieldNamed(changed)) << value << " at " << place;
      }
      for (std::size_t size = place + 1; size <= prefix.size(); ++size) {
        EXPECT_EQ(SamePrefixNoCase(text.data(), size, GetParam()),
                  StartsWithNoCase(prefix, std::string_view(text).substr(0, size)))
            << value << " at " << place << " of " << size;
      }
    }
  }
}

TEST(FieldNamedTest, NamesNothingEmptyOrLongerThanAnyName) {
  EXPECT_EQ(FieldNamed(""), std::nullopt);
  EXPECT_EQ(FieldNamed(std::string(header_fields::kLongestName + 1, 'a')), std::nullopt);
  EXPECT_EQ(FieldNamed("Content-Transfer-Encodings"), std::nullopt);
}

}  // namespace
}  // namespace quillon
