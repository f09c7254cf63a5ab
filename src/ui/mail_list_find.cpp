// The window's Find over the mail list (see MailListModel::FindRow).
#include <vector>

#include "ui/mail_list_model.h"

namespace quillon {

namespace {

// Rows tested one by one before the search turns to every mail in listed order: enough that F3
// from one hit to the next rarely needs more, few enough to cost little when nothing is near.
constexpr std::size_t kRowsTestedInPlace = 20000;

}  // namespace

int MailListModel::FindRow(int selectedRow, FindDirection direction,
                           const FindSettings& settings) const {
  MailMatcher matcher(settings);
  std::size_t tested = 0;
  std::vector<bool> matches;  // by index into entries_, once every mail was tested
  return quillon::FindRow(rowCount(), selectedRow, direction, [&](int row) {
    const std::uint32_t index = IndexAt(static_cast<std::size_t>(row));
    if (matches.empty() && ++tested > kRowsTestedInPlace) {
      matches.resize(entries_.size());
      for (std::size_t i = 0; i < entries_.size(); ++i)
        matches[i] = matcher.Matches(*entries_[i].record);
    }
    if (!matches.empty()) return matches[index] ? RowTest::Match : RowTest::NoMatch;
    return matcher.Matches(*entries_[index].record) ? RowTest::Match : RowTest::NoMatch;
  });
}

}  // namespace quillon
