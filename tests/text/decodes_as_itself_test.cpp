// A header value that is told to decode as itself is left undecoded by the record builder, which
// then shows its raw bytes widened: the quick answer must never say so of a value whose decoded
// text differs, and should say so of the plain values most mails carry.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "support/paths.h"
#include "text/encoded_words.h"

namespace quillon {
namespace {

std::u16string Widened(std::string_view raw) {
  std::u16string text;
  for (char c : raw) text += static_cast<char16_t>(static_cast<unsigned char>(c));
  return text;
}

struct AsItselfRow {
  const char* label;
  std::string value;
  int codePage;
  bool header;   // DecodesAsItself
  bool address;  // AddressDecodesAsItself
};

void PrintTo(const AsItselfRow& row, std::ostream* out) {
  *out << row.label;
}

class DecodesAsItselfTest : public ::testing::TestWithParam<AsItselfRow> {};

TEST_P(DecodesAsItselfTest, AnswersAsTheDecoderWould) {
  const AsItselfRow& row = GetParam();
  EXPECT_EQ(DecodesAsItself(row.value, row.codePage), row.header);
  EXPECT_EQ(AddressDecodesAsItself(row.value, row.codePage), row.address);
  if (row.header) {
    EXPECT_EQ(DecodeHeaderText(row.value, row.codePage), Widened(row.value));
  }
  if (row.address) {
    EXPECT_EQ(DecodeAddressText(row.value, row.codePage), Widened(row.value));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodesAsItselfTest,
    ::testing::Values(
        AsItselfRow{"PlainSubject", "Meeting on Monday", 1252, true, true},
        AsItselfRow{"PlainAddress", "Ann Smith <ann@example.org>", 65001, true, true},
        AsItselfRow{"Empty", "", 1252, true, true},
        AsItselfRow{"FoldInside", "one\r\n two", 1252, true, true},
        // The address decoder trims its value and quotes a display name again.
        AsItselfRow{"BlankAround", " Ann <ann@example.org>", 1252, true, false},
        AsItselfRow{"LineBreakBehind", "ann@example.org\r\n", 1252, true, false},
        AsItselfRow{"QuotedName", "\"Smith, Ann\" <ann@example.org>", 1252, true, false},
        AsItselfRow{"EscapedQuotes", "\\\"Ann\\\" <ann@example.org>", 1252, true, false},
        AsItselfRow{"EncodedWord", "=?utf-8?Q?caf=C3=A9?=", 1252, false, false},
        AsItselfRow{"EncodedWordLate", "Re: =?iso-8859-1?Q?a?=", 1252, false, false},
        AsItselfRow{"EightBit", "caf\xC3\xA9", 65001, false, false},
        AsItselfRow{"ControlByte", "a\x01z", 1252, false, false},
        AsItselfRow{"NulByte", std::string("a\0b", 3), 1252, false, false},
        AsItselfRow{"DeleteByte", "a\x7Fz", 1252, false, false},
        // Code pages that read ASCII bytes as other characters or shift on them.
        AsItselfRow{"Ebcdic", "Plain subject", 37, false, false},
        AsItselfRow{"HzShift", "a~{b", 52936, false, false},
        AsItselfRow{"ShiftJis", "C:\\path", 932, false, false}),
    [](const ::testing::TestParamInfo<AsItselfRow>& row) { return std::string(row.param.label); });

// The header fields of a message, each value as carved (folds kept, behind "Name:").
std::vector<std::string> FieldValues(std::string_view message) {
  std::vector<std::string> values;
  std::size_t at = 0;
  while (at < message.size()) {
    std::size_t end = message.find('\n', at);
    if (end == std::string_view::npos) end = message.size();
    const std::string_view line = message.substr(at, end - at);
    if (line.empty() || line == "\r") break;
    if ((line[0] == ' ' || line[0] == '\t') && !values.empty()) {
      values.back() += "\r\n";
      values.back() += line.substr(0, line.size() - (line.ends_with('\r') ? 1 : 0));
    } else if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
      std::string_view value = line.substr(colon + 1);
      if (value.ends_with('\r')) value.remove_suffix(1);
      values.emplace_back(value);
      if (!values.back().empty() && values.back()[0] == ' ') values.back().erase(0, 1);
    }
    at = end + 1;
  }
  return values;
}

TEST(DecodesAsItselfCorpusTest, NeverSaysSoOfAValueThatDecodesOtherwise) {
  const auto files = test::CorpusMessageFiles();
  if (files.empty()) GTEST_SKIP() << test::CorpusMissingMessage();
  std::size_t told = 0;
  std::size_t values = 0;
  for (const auto& file : files) {
    for (const std::string& value : FieldValues(test::ReadFileBytes(file))) {
      for (const int codePage : {1252, 65001, 1251}) {
        ++values;
        if (DecodesAsItself(value, codePage)) {
          ++told;
          EXPECT_EQ(DecodeHeaderText(value, codePage), Widened(value))
              << file.filename() << ": " << value;
        }
        if (AddressDecodesAsItself(value, codePage)) {
          EXPECT_EQ(DecodeAddressText(value, codePage), Widened(value))
              << file.filename() << ": " << value;
        }
      }
    }
  }
  // Most header values are plain: the quick answer must serve them.
  EXPECT_GT(told, values / 2);
}

}  // namespace
}  // namespace quillon
