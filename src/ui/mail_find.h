// Searching the mail list: the order in which rows are tried from the selected one. What a row
// must hold to match, and the settings the find dialog edits, are the core's
// (output/mail_search.h), so that the command line's --find matches as the window does.
#pragma once

#include <functional>

#include "output/mail_search.h"

namespace quillon {

enum class RowTest { Match, NoMatch, NoRecord };
enum class FindDirection { Next, Previous };

// The row a search from `selectedRow` (-1: none) ends at, or -1 when no row matches. Forwards:
// the rows after the selection, then from row 0 round to the selected row itself; backwards the
// mirror. A row without a mail ends the pass it is in.
int FindRow(int rowCount, int selectedRow, FindDirection direction,
            const std::function<RowTest(int row)>& test);

}  // namespace quillon
