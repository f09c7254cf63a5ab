#include "text/icu_conversion.h"

#include <unicode/ucnv.h>

#include <memory>
#include <unordered_map>

namespace quillon {

namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPointer = std::unique_ptr<UConverter, ConverterCloser>;

// Names come from mail text as well as from our own table, so a thread could meet many
// different ones; the cache is simply emptied when it grows past this.
constexpr std::size_t kMaximumCachedConverters = 256;

// ICU reads a name with a path separator as a file to load; a charset label from a mail must
// never make it do that.
bool IsSafeConverterName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':' ||
                         c == ',' || c == '=';
    if (!allowed) return false;
  }
  return true;
}

// The converter of that name for this thread, opened on first use; null when ICU has none.
UConverter* ConverterFor(std::string_view name) {
  thread_local std::unordered_map<std::string, ConverterPointer> cache;
  if (!IsSafeConverterName(name)) return nullptr;
  std::string key(name);
  if (auto found = cache.find(key); found != cache.end()) return found->second.get();
  if (cache.size() >= kMaximumCachedConverters) cache.clear();
  UErrorCode status = U_ZERO_ERROR;
  ConverterPointer converter(ucnv_open(key.c_str(), &status));
  if (U_FAILURE(status)) converter.reset();
  if (converter) {
    // Like the system converters: best-fit mappings, and '?' for what has no mapping at all.
    // ICU 72 crashes when it closes a COMPOUND_TEXT converter whose substitute string was set
    // (a mail can name one); that converter keeps its own substitute.
    ucnv_setFallback(converter.get(), true);
    if (ucnv_getType(converter.get()) != UCNV_COMPOUND_TEXT) {
      UErrorCode substituteStatus = U_ZERO_ERROR;
      ucnv_setSubstString(converter.get(), u"?", 1, &substituteStatus);
    }
  }
  return cache.emplace(std::move(key), std::move(converter)).first->second.get();
}

}  // namespace

bool IcuToUtf16(std::string_view converterName, std::string_view bytes, std::u16string& text) {
  text.clear();
  UConverter* converter = ConverterFor(converterName);
  if (converter == nullptr) return false;
  ucnv_resetToUnicode(converter);
  // One byte never yields more than two UTF-16 units; the loop still grows the buffer should a
  // converter prove otherwise. The streaming call has no 2 GiB limit on the input.
  text.resize(bytes.size() + 16);
  const char* source = bytes.data();
  const char* const sourceEnd = source + bytes.size();
  std::size_t written = 0;
  for (;;) {
    char16_t* target = text.data() + written;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, text.data() + text.size(), &source, sourceEnd, nullptr, true,
                   &status);
    written = static_cast<std::size_t>(target - text.data());
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      text.resize(text.size() * 2);
      continue;
    }
    break;
  }
  text.resize(written);
  return true;
}

bool IcuFromUtf16(std::string_view converterName, std::u16string_view text, std::string& bytes) {
  bytes.clear();
  UConverter* converter = ConverterFor(converterName);
  if (converter == nullptr) return false;
  ucnv_resetFromUnicode(converter);
  bytes.resize(text.size() * 2 + 16);
  const char16_t* source = text.data();
  const char16_t* const sourceEnd = source + text.size();
  std::size_t written = 0;
  for (;;) {
    char* target = bytes.data() + written;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_fromUnicode(converter, &target, bytes.data() + bytes.size(), &source, sourceEnd, nullptr,
                     true, &status);
    written = static_cast<std::size_t>(target - bytes.data());
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      bytes.resize(bytes.size() * 2);
      continue;
    }
    break;
  }
  bytes.resize(written);
  return true;
}

bool IsIcuConverterAvailable(std::string_view converterName) {
  return ConverterFor(converterName) != nullptr;
}

}  // namespace quillon
