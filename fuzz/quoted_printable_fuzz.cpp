// Quoted-printable and Q decoding of arbitrary bytes, and the preview cut that applies them to a
// part of a mail. Output never grows, any byte string escaped byte by byte decodes back to
// itself, and Q decoding differs from quoted-printable only where the input holds '_'.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/ascii.h"
#include "text/body_preview.h"
#include "text/quoted_printable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const std::string decoded = quillon::QuotedPrintableDecode(input);
  if (decoded.size() > size) std::abort();
  const std::string qDecoded = quillon::QEncodingDecode(input);
  if (input.find('_') == std::string_view::npos && qDecoded != decoded) std::abort();

  std::string escaped;
  for (unsigned char c : input) {
    constexpr char kHex[] = "0123456789ABCDEF";
    escaped += '=';
    escaped += kHex[c >> 4];
    escaped += (c & 1) ? kHex[c & 15] : static_cast<char>(quillon::AsciiLower(kHex[c & 15]));
  }
  if (quillon::QuotedPrintableDecode(escaped) != input) std::abort();

  std::string inPlace(input);
  quillon::QuotedPrintableDecodeInPlace(inPlace);
  if (!decoded.empty() && inPlace != decoded.substr(0, decoded.find('\0'))) std::abort();

  // The preview cut: the first two bytes pick the offset of the content type.
  if (size >= 2) {
    const std::string_view mail = input.substr(2);
    const std::string lowered = quillon::AsciiLowered(mail);
    const long long offset =
        static_cast<long long>((data[0] | data[1] << 8) % (mail.size() + 2)) - 1;
    std::string body;
    const bool cut = quillon::DecodeBodyForPreview(mail, lowered, offset, "</html>", 1252, body);
    if (!cut && !body.empty()) std::abort();
    if (body.size() > mail.size()) std::abort();
  }
  return 0;
}
