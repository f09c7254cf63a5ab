#include "text/base64.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace quillon {
namespace {

using namespace std::string_view_literals;

// A plain encoder for round trips: RFC 4648 4 with padding, CR LF after every 76 characters as
// RFC 2045 6.8 limits the line length.
std::string Encode(std::string_view bytes, bool breakLines = false) {
  constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string encoded;
  std::size_t lineLength = 0;
  auto put = [&](char c) {
    encoded += c;
    if (breakLines && ++lineLength == 76) {
      encoded += "\r\n";
      lineLength = 0;
    }
  };
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    std::uint32_t bits = static_cast<unsigned char>(bytes[i]) << 16;
    if (left > 1) bits |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (left > 2) bits |= static_cast<unsigned char>(bytes[i + 2]);
    put(kAlphabet[bits >> 18 & 63]);
    put(kAlphabet[bits >> 12 & 63]);
    put(left > 1 ? kAlphabet[bits >> 6 & 63] : '=');
    put(left > 2 ? kAlphabet[bits & 63] : '=');
  }
  return encoded;
}

// The byte-by-byte walk the fast decoder must agree with.
std::string ReferenceDecode(std::string_view text) {
  auto value = [](unsigned char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  bool previousWasData = true;
  for (unsigned char c : text) {
    const int v = value(c);
    if (v < 0) {
      if (c == '=' && previousWasData) break;
      previousWasData = false;
      continue;
    }
    previousWasData = true;
    bits = bits << 6 | static_cast<std::uint32_t>(v);
    if (++count % 4 == 0) {
      out += static_cast<char>(bits >> 16);
      out += static_cast<char>(bits >> 8);
      out += static_cast<char>(bits);
      bits = 0;
    }
  }
  const int rest = count % 4;
  bits <<= 6 * (4 - rest);
  if (rest >= 2) out += static_cast<char>(bits >> 16);
  if (rest == 3) out += static_cast<char>(bits >> 8);
  return out;
}

struct DecodeCase {
  const char* label;
  std::string_view encoded;
  std::string_view decoded;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const DecodeCase& row, std::ostream* out) {
  *out << row.label;
}

class Base64DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Base64DecodeTest, DecodesLeniently) {
  EXPECT_EQ(Base64Decode(GetParam().encoded), GetParam().decoded);
  EXPECT_EQ(ReferenceDecode(GetParam().encoded), GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Base64DecodeTest,
    ::testing::Values(
        // RFC 4648 10 test vectors.
        DecodeCase{"Rfc4648Empty", "", ""}, DecodeCase{"Rfc4648F", "Zg==", "f"},
        DecodeCase{"Rfc4648Fo", "Zm8=", "fo"}, DecodeCase{"Rfc4648Foo", "Zm9v", "foo"},
        DecodeCase{"Rfc4648Foob", "Zm9vYg==", "foob"},
        DecodeCase{"Rfc4648Fooba", "Zm9vYmE=", "fooba"},
        DecodeCase{"Rfc4648Foobar", "Zm9vYmFy", "foobar"}, DecodeCase{"ThreeBytes", "QUJD", "ABC"},
        DecodeCase{"TwoBytes", "QUI=", "AB"}, DecodeCase{"OneByte", "QQ==", "A"},
        // RFC 2045 6.8: characters outside the alphabet, line breaks included, are ignored.
        DecodeCase{"LineBreaksBetweenGroups", "QUJD\r\nREVG", "ABCDEF"},
        DecodeCase{"LineBreakInsideGroup", "QU\r\nJD", "ABC"},
        DecodeCase{"JunkInside", "Q*U J-D", "ABC"},
        DecodeCase{"EightBitSkipped", "QU\xFFJD", "ABC"},
        DecodeCase{"NulSkipped", "QU\0JD"sv, "ABC"},
        // A final group of two or three characters carries whole bytes; one carries none.
        DecodeCase{"UnpaddedTwo", "QUJDQQ", "ABCA"},
        DecodeCase{"UnpaddedThree", "QUJDQUI", "ABCAB"},
        DecodeCase{"LoneCharacter", "QUJDQ", "ABC"}, DecodeCase{"OnlyOneCharacter", "Q", ""},
        // Where '=' ends the data.
        DecodeCase{"EqualsFirst", "=QUJD", ""}, DecodeCase{"StopsAtPadding", "QQ==QUJD", "A"},
        DecodeCase{"EqualsAfterLineBreakSkipped", "QU\r\n=JD", "ABC"},
        DecodeCase{"PaddingAfterLineBreakSkipped", "QUI\r\n=", "AB"},
        DecodeCase{"OnlyJunk", "!!!\r\n", ""}, DecodeCase{"NonZeroPadBits", "QR==", "A"}),
    [](const auto& row) { return std::string(row.param.label); });

TEST(Base64Test, EveryByteValueRoundTripsAlone) {
  for (int value = 0; value < 256; ++value) {
    const std::string bytes(1, static_cast<char>(value));
    EXPECT_EQ(Base64Decode(Encode(bytes)), bytes) << value;
  }
}

TEST(Base64Test, EveryByteValueRoundTripsAtEachOffsetInAGroup) {
  std::string all;
  for (int value = 0; value < 256; ++value) all += static_cast<char>(value);
  for (std::size_t offset = 0; offset < 3; ++offset) {
    const std::string bytes = std::string(offset, 'x') + all;
    EXPECT_EQ(Base64Decode(Encode(bytes, true)), bytes) << offset;
  }
}

TEST(Base64Test, EveryByteValueOutsideTheAlphabetIsSkipped) {
  for (int value = 0; value < 256; ++value) {
    const char c = static_cast<char>(value);
    const bool inAlphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '+' || c == '/';
    if (inAlphabet || c == '=') continue;
    const std::string text = std::string("QU") + c + "JD";
    EXPECT_EQ(Base64Decode(text), "ABC") << value;
  }
}

TEST(Base64Test, FastWalkAgreesWithTheReferenceOnEveryLengthAndBreak) {
  // Lengths around the 57-byte line, with a junk byte moved through every position so that
  // the group walk leaves and re-enters its fast path everywhere.
  std::string bytes;
  for (int i = 0; i < 200; ++i) bytes += static_cast<char>(i * 37 + 11);
  for (std::size_t length = 0; length <= 120; ++length) {
    const std::string encoded = Encode(std::string_view(bytes).substr(0, length), true);
    ASSERT_EQ(Base64Decode(encoded), bytes.substr(0, length)) << length;
    for (std::size_t junkAt = 0; junkAt <= encoded.size(); junkAt += 7) {
      std::string withJunk = encoded;
      withJunk.insert(junkAt, 1, '\x80');
      ASSERT_EQ(Base64Decode(withJunk), ReferenceDecode(withJunk)) << length << " " << junkAt;
    }
  }
}

struct InPlaceCase {
  const char* label;
  std::string_view before;
  std::string_view after;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const InPlaceCase& row, std::ostream* out) {
  *out << row.label;
}

class Base64InPlaceTest : public ::testing::TestWithParam<InPlaceCase> {};

TEST_P(Base64InPlaceTest, ReplacesOnlyWhenSomethingDecodes) {
  std::string text(GetParam().before);
  Base64DecodeInPlace(text);
  EXPECT_EQ(text, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Cases, Base64InPlaceTest,
                         ::testing::Values(InPlaceCase{"Decodes", "SGVsbG8=", "Hello"},
                                           InPlaceCase{"EmptyStays", "", ""},
                                           InPlaceCase{"NothingDecodedKeepsText", "!!!", "!!!"},
                                           InPlaceCase{"OneCharacterKeepsText", "Q", "Q"},
                                           // The decoded bytes are read as a NUL-terminated string.
                                           InPlaceCase{"CutAtNul", "QQBC", "A"},
                                           InPlaceCase{"LeadingNulEmpties", "AEJD", ""}),
                         [](const auto& row) { return std::string(row.param.label); });

}  // namespace
}  // namespace quillon
