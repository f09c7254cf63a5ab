#include "ui/mail_find.h"

#include <QStringView>

#include "ui/mail_sort_keys.h"

namespace quillon {

namespace {

QStringView ViewOf(std::u16string_view text) {
  return QStringView(text.data(), static_cast<qsizetype>(text.size()));
}

bool Holds(std::u16string_view haystack, std::u16string_view foldedNeedle) {
  static thread_local std::u16string buffer;
  return ContainsFolded(ViewOf(haystack), foldedNeedle, buffer);
}

}  // namespace

std::u16string FindHaystack(const MailRecord& record, const FindSettings& settings) {
  std::u16string haystack;
  if (settings.subject) haystack += record.subjectText + u'|';
  if (settings.sender) haystack += record.fromText + u'|';
  if (settings.recipients) haystack += record.toText + u'|';
  if (settings.content) haystack += record.Body().contentText;
  return haystack;
}

bool MailMatches(const MailRecord& record, const FindSettings& settings) {
  // Only a text with a "|" can span two fields; any other is looked for field by field, so that
  // no haystack is built and the body is copied only when it has to be searched.
  std::u16string needle;
  AppendFolded(ViewOf(settings.text), needle);
  if (settings.text.find(u'|') != std::u16string::npos)
    return Holds(FindHaystack(record, settings), needle);
  if (settings.subject && Holds(record.subjectText, needle)) return true;
  if (settings.sender && Holds(record.fromText, needle)) return true;
  if (settings.recipients && Holds(record.toText, needle)) return true;
  return settings.content && Holds(record.Body().contentText, needle);
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
