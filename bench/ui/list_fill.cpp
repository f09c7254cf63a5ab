#include "list_fill.h"

#include <QApplication>
#include <algorithm>
#include <vector>

#include "bench_probe.h"

namespace quillon::bench {

FillFigures Fill(MailListModel& model, MadeMails& mails, std::size_t batch, QApplication* events) {
  FillFigures figures;
  std::vector<double> perTenThousand;
  std::size_t closed = 0;
  bool sorted = false;
  std::vector<MailRecordPtr> arrived;
  for (std::size_t start = 0; start < mails.records.size(); start += batch) {
    const std::size_t end = std::min(mails.records.size(), start + batch);
    for (; closed + 1 < end; ++closed)
      if (!mails.records[closed]->BodyClosed()) CloseBody(mails, closed);
    arrived.assign(mails.records.begin() + static_cast<std::ptrdiff_t>(start),
                   mails.records.begin() + static_cast<std::ptrdiff_t>(end));
    Stopwatch call;
    if (arrived.size() == 1)
      model.InsertAtTop(arrived.front());
    else
      model.InsertAtTop(arrived);
    if (events) events->processEvents();
    const double took = call.Elapsed().wall;
    figures.timed += took;
    figures.longestCall = std::max(figures.longestCall, took);
    const std::size_t bucket = start / 10000;
    if (perTenThousand.size() <= bucket) perTenThousand.resize(bucket + 1);
    perTenThousand[bucket] += took;
    figures.rows = end;
    if (!sorted && model.rowCount() > 1) {
      model.sort(MailListModel::SubjectColumn);
      sorted = true;
    }
  }
  for (; closed < figures.rows; ++closed)
    if (!mails.records[closed]->BodyClosed()) CloseBody(mails, closed);
  if (!perTenThousand.empty()) {
    figures.first10k = perTenThousand.front();
    const bool partLast = perTenThousand.size() > 1 && figures.rows % 10000 != 0;
    figures.last10k = perTenThousand[perTenThousand.size() - (partLast ? 2 : 1)];
  }
  return figures;
}

}  // namespace quillon::bench
