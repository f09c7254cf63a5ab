#include "text/iconv_conversion.h"

#if __has_include(<iconv.h>)
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

namespace quillon {

namespace {

// Little-endian UTF-16 on the Unicode side, assembled by hand so that the host's byte order
// does not matter. A descriptor keeps shift state, so each call opens its own; these pages
// are rare enough that the cost does not show.
class IconvDescriptor {
 public:
  IconvDescriptor(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}
  ~IconvDescriptor() {
    if (IsOpen()) iconv_close(descriptor_);
  }
  IconvDescriptor(const IconvDescriptor&) = delete;
  IconvDescriptor& operator=(const IconvDescriptor&) = delete;
  bool IsOpen() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return descriptor_; }

 private:
  iconv_t descriptor_;
};

constexpr const char* kUtf16 = "UTF-16LE";

// Runs the whole input through `descriptor`; `onInvalid` is called for an input unit that
// cannot be converted and returns how many input bytes to skip.
template <typename OnInvalid>
std::string RunIconv(const IconvDescriptor& descriptor, std::string_view input,
                     OnInvalid onInvalid) {
  std::string output;
  output.resize(input.size() * 2 + 16);
  char* source = const_cast<char*>(input.data());
  std::size_t sourceLeft = input.size();
  std::size_t written = 0;
  for (;;) {
    char* target = output.data() + written;
    std::size_t targetLeft = output.size() - written;
    const std::size_t result =
        sourceLeft == 0 ? iconv(descriptor.get(), nullptr, nullptr, &target, &targetLeft)
                        : iconv(descriptor.get(), &source, &sourceLeft, &target, &targetLeft);
    written = output.size() - targetLeft;
    if (result != static_cast<std::size_t>(-1)) {
      if (sourceLeft == 0) break;
      continue;
    }
    if (errno == E2BIG) {
      output.resize(output.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL (a truncated sequence at the end): substitute and move on.
    if (sourceLeft == 0) break;
    const std::size_t skip = onInvalid(output, written, sourceLeft);
    source += skip;
    sourceLeft -= skip;
  }
  output.resize(written);
  return output;
}

void Append(std::string& output, std::size_t& written, std::string_view bytes) {
  if (output.size() < written + bytes.size()) output.resize((written + bytes.size()) * 2);
  for (char c : bytes) output[written++] = c;
}

}  // namespace

bool IconvToUtf16(const char* converterName, std::string_view bytes, std::u16string& text) {
  text.clear();
  IconvDescriptor descriptor(kUtf16, converterName);
  if (!descriptor.IsOpen()) return false;
  const std::string utf16 =
      RunIconv(descriptor, bytes, [](std::string& output, std::size_t& written, std::size_t) {
        Append(output, written, std::string_view("\xFD\xFF", 2));
        return std::size_t{1};
      });
  text.resize(utf16.size() / 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(utf16[2 * i]) |
                                    (static_cast<unsigned char>(utf16[2 * i + 1]) << 8));
  }
  return true;
}

bool IconvFromUtf16(const char* converterName, std::u16string_view text, std::string& bytes) {
  bytes.clear();
  IconvDescriptor descriptor(converterName, kUtf16);
  if (!descriptor.IsOpen()) return false;
  std::string utf16(text.size() * 2, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    utf16[2 * i] = static_cast<char>(text[i] & 0xFF);
    utf16[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  bytes = RunIconv(
      descriptor, utf16, [&](std::string& output, std::size_t& written, std::size_t sourceLeft) {
        Append(output, written, "?");
        // Skip a whole surrogate pair, else one unit (never past the end).
        const std::size_t offset = utf16.size() - sourceLeft;
        const bool highSurrogate =
            sourceLeft >= 4 && (static_cast<unsigned char>(utf16[offset + 1]) & 0xFC) == 0xD8;
        return std::min<std::size_t>(highSurrogate ? 4 : 2, sourceLeft);
      });
  return true;
}

bool IsIconvConverterAvailable(const char* converterName) {
  IconvDescriptor descriptor(kUtf16, converterName);
  return descriptor.IsOpen();
}

}  // namespace quillon

#else

namespace quillon {

bool IconvToUtf16(const char*, std::string_view, std::u16string& text) {
  text.clear();
  return false;
}
bool IconvFromUtf16(const char*, std::u16string_view, std::string& bytes) {
  bytes.clear();
  return false;
}
bool IsIconvConverterAvailable(const char*) {
  return false;
}

}  // namespace quillon

#endif
