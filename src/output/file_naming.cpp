#include "output/file_naming.h"

#include <string>

#include "text/code_page.h"

namespace quillon {

namespace {

constexpr std::size_t kSubjectUnits = 20;
// Linux file systems hold at most this many bytes in one path component.
constexpr std::size_t kMaxComponentBytes = 255;

bool IsForbidden(char16_t c) {
  switch (c) {
    case u'"':
    case u'<':
    case u':':
    case u'>':
    case u'|':
    case u'?':
    case u'\\':
    case u'/':
    case u'*':
      return true;
    default:
      return c < 0x20 || c == 0x7F;
  }
}

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

std::u16string SubjectPart(const MailRecord& record) {
  return record.subjectText.substr(0, kSubjectUnits);
}

// The longest prefix of `text` of at most `limit` bytes that does not split a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

// Shortens a base name so that `reserved` more bytes still fit into one path component. The
// date part ("_[...]" at the end) is kept whole when it fits; the subject part is cut.
std::string FitComponent(const std::string& name, std::size_t reserved) {
  const std::size_t limit = reserved < kMaxComponentBytes ? kMaxComponentBytes - reserved : 0;
  if (name.size() <= limit) return name;
  const std::size_t datePart = name.rfind("_[");
  if (datePart != std::string::npos && name.back() == ']' && name.size() - datePart <= limit) {
    const std::string_view date = std::string_view(name).substr(datePart);
    return std::string(CutUtf8(name, limit - date.size())) + std::string(date);
  }
  return std::string(CutUtf8(name, limit));
}

bool NamesAFolderItself(std::string_view name) {
  return name.empty() || name == "." || name == "..";
}

}  // namespace

std::u16string SanitizeFileName(std::u16string_view name) {
  std::u16string clean(name);
  for (std::size_t i = 0; i < clean.size(); ++i) {
    char16_t& c = clean[i];
    if (IsForbidden(c)) {
      c = u' ';
    } else if (IsHighSurrogate(c) && i + 1 < clean.size() && IsLowSurrogate(clean[i + 1])) {
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      // A lone surrogate has no UTF-8 form a file name could take.
      c = u'\uFFFD';
    }
  }
  if (clean == u"." || clean == u"..") return u"_";
  return clean;
}

std::u16string DefaultFileName(const MailRecord& record, SaveFormat format) {
  std::u16string name = SubjectPart(record) + u" [" + AnsiToUtf16(record.date) + u"]";
  const std::string_view extension = FileExtension(format);
  name.append(extension.begin(), extension.end());
  return SanitizeFileName(name);
}

std::u16string BatchFileName(const MailRecord& record) {
  return SanitizeFileName(SubjectPart(record) + u"_[" + AnsiToUtf16(record.date) + u"]");
}

std::filesystem::path ReservePath(UsedNameSet& used, const std::filesystem::path& folder,
                                  std::u16string_view baseName, std::string_view extension) {
  const std::string base = Utf16ToUtf8(SanitizeFileName(baseName));
  // Sanitized names hold no separator; a name cut down to nothing or to a dot still must not
  // name the folder or its parent.
  auto reserve = [&](std::string name, std::filesystem::path& path) {
    if (NamesAFolderItself(name)) name = "_";
    path = folder / std::filesystem::path(name);
    if (used.Contains(path)) return false;
    used.Add(path);
    return true;
  };

  std::filesystem::path path;
  if (reserve(FitComponent(base, extension.size()), path)) return path;
  for (std::size_t number = 1;; ++number) {
    const std::string suffix = "_" + std::to_string(number);
    if (reserve(FitComponent(base, extension.size() + suffix.size()) + suffix, path)) return path;
  }
}

}  // namespace quillon
