// What the mail list sorts and filters by: a date's time, a sender's display name, and texts
// folded to one case, laid out so that sorting or searching a million of them compares integers
// and reads memory in order.
#pragma once

#include <QStringView>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

// The moment a date names, as seconds of its own wall clock (the zone is left aside, as the
// normalised "YYYY-MM-DD hh:mm:ss" texts leave it). Reads the normalised form, RFC 5322 dates
// ("Mon, 9 Mar 2009 10:11:12 +0800", two-digit years after RFC 5322 4.3) and asctime dates
// ("Mon Mar  9 10:11:12 2009"), whatever their year. Nothing when no day, month and year are found.
std::optional<std::int64_t> DateSortSeconds(std::string_view date);

// The part of a decoded sender or recipient that people sort by: the display name without its
// quotes ("\"Nora Quill\" <n@x>" and "Nora Quill <n@x>" give "Nora Quill", "n@x (Nora)" gives
// "Nora"), or the address when there is no name.
QStringView DisplayNameOf(QStringView address);

// Appends `text` folded to one case to `out`, as the searches of found mails fold it
// (text/case_folding.h AppendFoldedCase).
void AppendFolded(QStringView text, std::u16string& out);

// Whether `haystack` holds `foldedNeedle` (folded by AppendFolded) in any letter case. `buffer`
// is scratch space kept by the caller, so that a search over many texts allocates once.
bool ContainsFolded(QStringView haystack, std::u16string_view foldedNeedle, std::u16string& buffer);

// Texts folded to one case, kept side by side so that sorting them reads memory in order.
class FoldedTexts {
 public:
  // Texts are cut at this many UTF-16 units: rows that differ only further on sort alike.
  static constexpr std::size_t kComparedLength = 255;

  // Stands between the fields AddJoined joins; no text searched for holds it.
  static constexpr char16_t kFieldSeparator = u'\x01';

  void Reserve(std::size_t texts, std::size_t units);
  // One text, cut at kComparedLength units.
  void Add(QStringView text);
  // Several fields as one text, whole, kFieldSeparator between them: a search finds words in
  // any of them but none that spans two.
  void AddJoined(std::initializer_list<QStringView> parts);
  void Clear();
  std::size_t Size() const { return spans_.size(); }
  std::u16string_view At(std::size_t index) const {
    const auto [start, length] = spans_[index];
    return std::u16string_view(units_.data() + start, length);
  }

 private:
  std::u16string units_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> spans_;  // start, length
};

// Orders `order` (indexes into `texts`) by the folded texts; equal texts by index. Eight units
// at a time are compared as two integers, and only rows that tie look further.
void SortFoldedTexts(const FoldedTexts& texts, std::vector<std::uint32_t>& order);

// The order of two texts folded to one case; texts equal that way are ordered case-sensitively.
// Negative, zero or positive.
int CompareFolded(QStringView left, QStringView right);

}  // namespace quillon
