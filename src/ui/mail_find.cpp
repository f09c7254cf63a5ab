#include "ui/mail_find.h"

namespace quillon {

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
