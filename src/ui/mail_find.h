// Searching the mail list: the settings the find dialog edits, the match test of one mail, and
// the order in which rows are tried from the selected one.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "scan/mail_record.h"

namespace quillon {

// One record for the whole run of the program; the first find has every field ticked.
struct FindSettings {
  std::u16string text;
  bool subject = true;
  bool sender = true;
  bool recipients = true;
  bool content = true;

  bool AnyField() const { return subject || sender || recipients || content; }
  bool operator==(const FindSettings&) const = default;
};

// The ticked fields joined in the order subject, sender, recipients, content, each of the first
// three followed by "|", so that a search text may span two fields.
std::u16string FindHaystack(const MailRecord& record, const FindSettings& settings);

// Whether the find text occurs in the haystack in any letter case of any script (Unicode case
// folding: "KAZAN" finds "Kazan", "КАЗАНЬ" finds
// "Казань", "RÉUNION" finds "réunion"). The
// mail's text is only copied when the other ticked fields do not hold the find text.
bool MailMatches(const MailRecord& record, const FindSettings& settings);

enum class RowTest { Match, NoMatch, NoRecord };
enum class FindDirection { Next, Previous };

// The row a search from `selectedRow` (-1: none) ends at, or -1 when no row matches. Forwards:
// the rows after the selection, then from row 0 round to the selected row itself; backwards the
// mirror. A row without a mail ends the pass it is in.
int FindRow(int rowCount, int selectedRow, FindDirection direction,
            const std::function<RowTest(int row)>& test);

}  // namespace quillon
