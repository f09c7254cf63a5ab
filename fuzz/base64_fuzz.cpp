// Base64 decoding of arbitrary bytes, checked three ways: the fast group walk must agree with a
// plain byte-by-byte walk, the output never exceeds three bytes per four of input, and any byte
// string encoded by a plain encoder decodes back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/base64.h"

namespace {

int AlphabetValue(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::string ReferenceDecode(std::string_view text) {
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  bool previousWasData = true;
  for (unsigned char c : text) {
    const int value = AlphabetValue(c);
    if (value < 0) {
      if (c == '=' && previousWasData) break;
      previousWasData = false;
      continue;
    }
    previousWasData = true;
    bits = bits << 6 | static_cast<std::uint32_t>(value);
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

std::string Encode(std::string_view bytes) {
  constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string encoded;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    std::uint32_t bits = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (left > 1) bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    if (left > 2) bits |= static_cast<unsigned char>(bytes[i + 2]);
    encoded += kAlphabet[bits >> 18 & 63];
    encoded += kAlphabet[bits >> 12 & 63];
    encoded += left > 1 ? kAlphabet[bits >> 6 & 63] : '=';
    encoded += left > 2 ? kAlphabet[bits & 63] : '=';
    if (encoded.size() % 78 == 76) encoded += "\r\n";
  }
  return encoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const std::string decoded = quillon::Base64Decode(input);
  if (decoded != ReferenceDecode(input)) std::abort();
  if (decoded.size() > size / 4 * 3 + 2) std::abort();

  if (quillon::Base64Decode(Encode(input)) != input) std::abort();

  std::string inPlace(input);
  quillon::Base64DecodeInPlace(inPlace);
  if (!decoded.empty() && inPlace != decoded.substr(0, decoded.find('\0'))) std::abort();
  if (decoded.empty() && inPlace != input) std::abort();
  return 0;
}
