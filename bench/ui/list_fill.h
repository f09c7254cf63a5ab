// Filling the list the way the window does while a scan runs, timing each call that adds rows.
#pragma once

#include <cstddef>

#include "bench_records.h"
#include "ui/mail_list_model.h"

class QApplication;

namespace quillon::bench {

struct FillFigures {
  double timed = 0;     // seconds spent in the calls that add rows (and painting, with a view)
  double first10k = 0;  // of those, the seconds the first 10,000 rows took
  double last10k = 0;   // and the last whole 10,000
  double longestCall = 0;
  std::size_t rows = 0;
};

// Adds the mails in batches of `batch` as the window does during a scan: each mail's body closes
// (is published) before the batch after the one that brought it. The list is sorted by subject
// once it holds a batch, so that later arrivals meet a sorted list. With `events`, pending events
// (painting a view) are processed after each batch and count as part of it. A body closed by an
// earlier fill stays as it is.
FillFigures Fill(MailListModel& model, MadeMails& mails, std::size_t batch, QApplication* events);

}  // namespace quillon::bench
