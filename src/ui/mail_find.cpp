#include "ui/mail_find.h"

namespace quillon {

std::u16string FoldAsciiLetters(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& unit : folded) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
  }
  return folded;
}

std::u16string FindHaystack(const MailRecord& record, const FindSettings& settings) {
  std::u16string haystack;
  if (settings.subject) haystack += record.subjectText + u'|';
  if (settings.sender) haystack += record.fromText + u'|';
  if (settings.recipients) haystack += record.toText + u'|';
  if (settings.content) haystack += record.Body().contentText;
  return haystack;
}

bool MailMatches(const MailRecord& record, const FindSettings& settings) {
  const std::u16string haystack = FoldAsciiLetters(FindHaystack(record, settings));
  return haystack.find(FoldAsciiLetters(settings.text)) != std::u16string::npos;
}

namespace {

// Tests rows first..last (inclusive) stepping by `step`; the matching row, or -1.
int RunPass(int first, int last, int step, const std::function<RowTest(int)>& test) {
  for (int row = first; step > 0 ? row <= last : row >= last; row += step) {
    const RowTest result = test(row);
    if (result == RowTest::Match) return row;
    if (result == RowTest::NoRecord) return -1;
  }
  return -1;
}

}  // namespace

int FindRow(int rowCount, int selectedRow, FindDirection direction,
            const std::function<RowTest(int row)>& test) {
  if (rowCount <= 0) return -1;
  if (selectedRow >= rowCount) selectedRow = -1;
  if (direction == FindDirection::Next) {
    const int found = RunPass(selectedRow + 1, rowCount - 1, 1, test);
    if (found >= 0 || selectedRow + 1 <= 0) return found;
    return RunPass(0, selectedRow, 1, test);
  }
  if (selectedRow >= 0) {
    const int found = RunPass(selectedRow - 1, 0, -1, test);
    if (found >= 0) return found;
    return RunPass(rowCount - 1, selectedRow, -1, test);
  }
  return RunPass(rowCount - 1, 0, -1, test);
}

}  // namespace quillon
