// The benchmark's sanity checks: what the list shows after a fill, each sort and each find,
// against a plain computation over the records (bench_reference.h). Each failure is one line.
#pragma once

#include <string>
#include <vector>

#include "bench_reference.h"
#include "scan/mail_record.h"

namespace quillon::bench {

// A search the benchmark times, by a name that says what share of the mails it finds.
struct FindCase {
  std::string name;
  SearchAsked asked;
};

// Over the million made mails (subject, sender and recipients) or over the mails with their
// whole content.
std::vector<FindCase> HeaderFindCases();
std::vector<FindCase> ContentFindCases();

// The columns a sort is timed by, and their names.
const std::vector<int>& SortedColumns();
const char* ColumnName(int column);

// Sorts a list of `records` by every column both ways, runs every find case, the quick filter
// and the hiding of copies, and says what differs from the plain computation. `hits` gets
// "case: N hits" lines for the report.
std::vector<std::string> CheckList(const std::vector<MailRecordPtr>& records,
                                   const std::vector<FindCase>& finds, bool sorts,
                                   std::vector<std::string>& hits);

}  // namespace quillon::bench
