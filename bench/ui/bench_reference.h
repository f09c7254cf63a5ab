// What the list must show, worked out the plain way from the records alone, for the benchmark's
// sanity checks: std::stable_sort of each mail's value, and searches by a loop over haystacks
// folded by Qt.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "scan/mail_record.h"

namespace quillon::bench {

// The mails in the order a sort of the list by `column` (a MailListModel::Column) shows them.
std::vector<const MailRecord*> ReferenceOrder(const std::vector<MailRecordPtr>& records, int column,
                                              bool descending);

struct SearchAsked {
  std::u16string text;
  bool subject = true;
  bool sender = true;
  bool recipients = true;
  bool content = true;
};

// Indexes of the mails whose haystack (the ticked fields joined by "|") holds the text in any
// letter case.
std::vector<std::size_t> ReferenceHits(const std::vector<MailRecordPtr>& records,
                                       const SearchAsked& asked);

}  // namespace quillon::bench
