#include "output/file_naming.h"

#include <algorithm>
#include <array>
#include <string>

#include "text/case_folding.h"
#include "text/code_page.h"

namespace quillon {

namespace {

constexpr std::size_t kSubjectUnits = 20;
// Linux file systems hold at most this many bytes in one path component.
constexpr std::size_t kMaxComponentBytes = 255;
// Where the date part of a batch name and of a single save's name begins.
constexpr std::string_view kBatchDateMark = "_[";
constexpr std::string_view kSingleDateMark = " [";

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

char16_t AsciiUpper(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

// Windows opens a device, not a file, for these names, with or without an extension.
bool IsDeviceName(std::u16string_view stem) {
  static constexpr std::array<std::u16string_view, 4> kPlain = {u"CON", u"PRN", u"AUX", u"NUL"};
  std::u16string upper;
  for (char16_t c : stem) upper += AsciiUpper(c);
  for (std::u16string_view device : kPlain)
    if (upper == device) return true;
  return upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT")) &&
         upper[3] >= u'1' && upper[3] <= u'9';
}

void ReplaceEdgeDots(std::u16string& name) {
  if (!name.empty() && name.front() == u'.') name.front() = u'_';
  for (auto at = name.rbegin(); at != name.rend() && (*at == u'.' || *at == u' '); ++at) *at = u'_';
}

void MarkDeviceName(std::u16string& name) {
  // Windows reads "CON .txt" as the device too: blanks before the first dot do not count.
  std::size_t stemEnd = name.find(u'.');
  if (stemEnd == std::u16string::npos) stemEnd = name.size();
  std::size_t deviceEnd = stemEnd;
  while (deviceEnd > 0 && name[deviceEnd - 1] == u' ') --deviceEnd;
  if (IsDeviceName(std::u16string_view(name).substr(0, deviceEnd))) name.insert(deviceEnd, u"_");
}

std::u16string SubjectPart(const MailRecord& record) {
  return record.SubjectText().substr(0, kSubjectUnits);
}

// The longest prefix of `text` of at most `limit` bytes that does not split a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

// Shortens a name so that `reserved` more bytes still fit into one path component. The date
// part (from the last `dateMark` on, when the name ends in "]") is kept whole when it fits; the
// subject part is cut.
std::string FitComponent(const std::string& name, std::size_t reserved, std::string_view dateMark) {
  const std::size_t limit = reserved < kMaxComponentBytes ? kMaxComponentBytes - reserved : 0;
  if (name.size() <= limit) return name;
  const std::size_t datePart = name.rfind(dateMark);
  if (datePart != std::string::npos && name.back() == ']' && name.size() - datePart <= limit) {
    const std::string_view date = std::string_view(name).substr(datePart);
    return std::string(CutUtf8(name, limit - date.size())) + std::string(date);
  }
  return std::string(CutUtf8(name, limit));
}

std::u16string FoldedPath(const std::filesystem::path& path) {
  return FoldCase(Utf8ToUtf16(path.string()));
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
  ReplaceEdgeDots(clean);
  MarkDeviceName(clean);
  return clean;
}

std::u16string DefaultFileName(const MailRecord& record, SaveFormat format,
                               const RenderOptions& options) {
  const std::u16string stem = SanitizeFileName(
      SubjectPart(record) + u" [" + AnsiToUtf16(record.date, options.ansiCodePage) + u"]");
  const std::string_view extension = FileExtension(format);
  const std::string fitted = FitComponent(Utf16ToUtf8(stem), extension.size(), kSingleDateMark);
  return Utf8ToUtf16(fitted + std::string(extension));
}

std::u16string BatchFileName(const MailRecord& record, const RenderOptions& options) {
  return SanitizeFileName(SubjectPart(record) + u"_[" +
                          AnsiToUtf16(record.date, options.ansiCodePage) + u"]");
}

bool UsedNameSet::Contains(const std::filesystem::path& path) const {
  return foldedPaths_.contains(FoldedPath(path));
}

void UsedNameSet::Add(const std::filesystem::path& path) {
  foldedPaths_.insert(FoldedPath(path));
}

bool UsedNameSet::Insert(const std::filesystem::path& path) {
  return foldedPaths_.insert(FoldedPath(path)).second;
}

std::filesystem::path ReservePath(UsedNameSet& used, const std::filesystem::path& folder,
                                  std::u16string_view baseName, std::string_view extension) {
  const std::string base = Utf16ToUtf8(SanitizeFileName(baseName));
  // A sanitized name holds no separator and never names a folder itself; cut down to nothing it
  // still must not name the folder.
  auto reserve = [&](std::string name, std::filesystem::path& path) {
    if (name.empty()) name = "_";
    path = folder / std::filesystem::path(name);
    return used.Insert(path);
  };

  std::filesystem::path path;
  if (reserve(FitComponent(base, extension.size(), kBatchDateMark), path)) return path;
  std::size_t& next =
      used.NextNumber(folder.string() + '\0' + base + '\0' + std::to_string(extension.size()));
  for (std::size_t number = std::max<std::size_t>(next, 1);; ++number) {
    const std::string suffix = "_" + std::to_string(number);
    if (reserve(FitComponent(base, extension.size() + suffix.size(), kBatchDateMark) + suffix,
                path)) {
      next = number + 1;
      return path;
    }
  }
}

}  // namespace quillon
