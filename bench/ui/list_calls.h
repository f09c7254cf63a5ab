// The few calls of the benchmark that follow the list's interface of the day: finding rows the
// way the window's Find does, and the plain loop over the records the command line runs.
#pragma once

#include <cstddef>
#include <vector>

#include "bench_reference.h"
#include "ui/mail_find.h"
#include "ui/mail_list_model.h"

namespace quillon::bench {

inline FindSettings SettingsOf(const SearchAsked& asked) {
  FindSettings settings;
  settings.text = asked.text;
  settings.subject = asked.subject;
  settings.sender = asked.sender;
  settings.recipients = asked.recipients;
  settings.content = asked.content;
  return settings;
}

// One search's match test, as the window makes it for a search (a list built before the matcher
// moved into the core tests each row on its own).
class RowMatcher {
 public:
  explicit RowMatcher(const SearchAsked& asked)
      : settings_(SettingsOf(asked))
#if __has_include("output/mail_search.h")
        ,
        matcher_(settings_)
#endif
  {
  }

  bool Matches(const MailRecord& record) {
#if __has_include("output/mail_search.h")
    return matcher_.Matches(record);
#else
    return MailMatches(record, settings_);
#endif
  }

 private:
  FindSettings settings_;
#if __has_include("output/mail_search.h")
  MailMatcher matcher_;
#endif
};

// The row the window's F3 selects from `selected`, or -1: the list's own search where it has
// one, else the row by row test the window ran.
template <typename Model>
int FindFirst(const Model& model, const SearchAsked& asked, int selected) {
  if constexpr (requires { model.FindRow(selected, FindDirection::Next, SettingsOf(asked)); }) {
    return model.FindRow(selected, FindDirection::Next, SettingsOf(asked));
  }
  RowMatcher matcher(asked);
  return FindRow(model.rowCount(), selected, FindDirection::Next, [&](int row) {
    const MailRecordPtr record = model.RecordAt(row);
    if (!record) return RowTest::NoRecord;
    return matcher.Matches(*record) ? RowTest::Match : RowTest::NoMatch;
  });
}

// Every matching row, found by pressing F3 until the search comes round again.
inline std::vector<int> FindEvery(const MailListModel& model, const SearchAsked& asked) {
  std::vector<int> hits;
  int selected = -1;
  for (;;) {
    const int found = FindFirst(model, asked, selected);
    if (found < 0 || found <= selected) break;
    hits.push_back(found);
    selected = found;
  }
  return hits;
}

// What `quillon scan --find` does: one pass over the records in found order.
inline std::size_t CountMatches(const std::vector<MailRecordPtr>& records,
                                const SearchAsked& asked) {
  RowMatcher matcher(asked);
  std::size_t count = 0;
  for (const MailRecordPtr& record : records) count += matcher.Matches(*record) ? 1 : 0;
  return count;
}

}  // namespace quillon::bench
