// The found-mail list at a million mails, without a window (QT_QPA_PLATFORM=offscreen): filling it
// in the batches a scan delivers, sorting it by each column, finding as the window's Find and
// the command line's --find do, and what the list costs in memory, with a view attached too; then
// the search over 100,000 mails with their whole content. Every timing is a Google Benchmark
// with manual time (only the list's own calls are timed); the sanity checks run first against a
// plain computation over the records and make the exit status 1. See bench/README.md.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_probe.h"
#include "bench_records.h"
#include "list_calls.h"
#include "list_checks.h"
#include "list_fill.h"
#include "text/code_page.h"
#include "ui/mail_list_model.h"
#include "ui/mail_list_view.h"

namespace quillon::bench {

namespace {

struct Options {
  std::size_t rows = 1000000;
  std::size_t contentRows = 100000;
  std::size_t contentUnits = 120;
  bool check = true;
  std::filesystem::path messages;
};

enum class TextsIn { File, Records };

// The mails every benchmark reads, made once before the first of them runs.
struct Workload {
  Options options;
  QApplication* application = nullptr;
  RecordMaterial material;
  MadeMails mails;
  // Made when the content searches start: texts in a scratch file, as a scan keeps them, and
  // texts held by the records themselves, the way they were kept before, to compare with.
  std::unique_ptr<MadeMails> whole[2];

  MadeMails& Whole(TextsIn texts) {
    std::unique_ptr<MadeMails>& made = whole[static_cast<int>(texts)];
    if (!made) {
      made = std::make_unique<MadeMails>(MakeMails(material, options.contentRows, true, 0, 16));
      if (texts == TextsIn::File) KeepTextsIn(*made, MailTextStore::InTemporaryFolder());
      for (std::size_t i = 0; i < made->records.size(); ++i) CloseBody(*made, i);
    }
    return *made;
  }
};

void AddBest(benchmark::internal::Benchmark* benchmark) {
  // One call per repetition (a fill or a sort changes the list it works on), the best of three
  // counting: on a shared machine the other runs show what else was going on.
  benchmark->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
  benchmark->DisplayAggregatesOnly(true);
  benchmark->ComputeStatistics("best", [](const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
  });
}

void FillBenchmark(benchmark::State& state, Workload& work, std::size_t batch, bool view) {
  for (auto _ : state) {
    const std::uint64_t heapStart = HeapInUse();
    const std::uint64_t residentStart = ResidentBytes();
    auto model = std::make_unique<MailListModel>();
    std::unique_ptr<MailListView> shown;
    if (view) {
      shown = std::make_unique<MailListView>();
      shown->setModel(model.get());
      shown->SetUpColumns();
      shown->resize(1200, 800);
      shown->show();
      work.application->processEvents();
    }
    const FillFigures fill = Fill(*model, work.mails, batch, view ? work.application : nullptr);
    if (view) {
      shown->scrollToBottom();
      work.application->processEvents();
    }
    state.SetIterationTime(fill.timed);
    const double rows = static_cast<double>(fill.rows);
    state.counters["rows"] = rows;
    state.counters["first10k_s"] = fill.first10k;
    state.counters["last10k_s"] = fill.last10k;
    state.counters["last/first"] = fill.first10k > 0 ? fill.last10k / fill.first10k : 0;
    state.counters["longest_call_s"] = fill.longestCall;
    state.counters["heap_B/row"] = static_cast<double>(HeapInUse() - heapStart) / rows;
    state.counters["rss_B/row"] =
        static_cast<double>(ResidentBytes() - std::min(ResidentBytes(), residentStart)) / rows;
    if (static_cast<std::size_t>(model->rowCount()) != work.mails.records.size())
      state.SkipWithError("the list lost rows while filling");
  }
}

// A sort of a freshly listed folder, the same column descending after ascending, and ascending
// again after a sort by the next column.
enum class SortStart { Unsorted, Descending, FromOther };

void SortBenchmark(benchmark::State& state, Workload& work, int column, SortStart start) {
  const std::vector<int>& columns = SortedColumns();
  const auto at = std::find(columns.begin(), columns.end(), column) - columns.begin();
  const int other = columns[static_cast<std::size_t>(at + 1) % columns.size()];
  for (auto _ : state) {
    MailListModel model;
    model.SetMails(work.mails.records);
    if (start == SortStart::Descending) model.sort(column);
    if (start == SortStart::FromOther) {
      model.sort(column);
      model.sort(other);
    }
    const Qt::SortOrder order =
        start == SortStart::Descending ? Qt::DescendingOrder : Qt::AscendingOrder;
    const Timing took = Time([&] { model.sort(column, order); });
    state.SetIterationTime(took.wall);
    state.counters["cpu_s"] = took.cpu;
  }
}

enum class FindWay { FirstHit, EveryHit, CommandLine };

void FindBenchmark(benchmark::State& state, const std::vector<MailRecordPtr>& records,
                   const FindCase& find, FindWay way) {
  MailListModel model;
  model.SetMails(records);
  model.sort(MailListModel::DateColumn);
  for (auto _ : state) {
    std::size_t hits = 0;
    const Timing took = Time([&] {
      if (way == FindWay::FirstHit) hits = FindFirst(model, find.asked, -1) >= 0 ? 1 : 0;
      if (way == FindWay::EveryHit) hits = FindEvery(model, find.asked).size();
      if (way == FindWay::CommandLine) hits = CountMatches(records, find.asked);
    });
    benchmark::DoNotOptimize(hits);
    state.SetIterationTime(took.wall);
    state.counters["cpu_s"] = took.cpu;
    state.counters["hits"] = static_cast<double>(hits);
  }
}

void QuickFilterBenchmark(benchmark::State& state, Workload& work, const QString& typed) {
  for (auto _ : state) {
    MailListModel model;
    model.SetMails(work.mails.records);
    const Timing took = Time([&] { model.SetQuickFilter(typed); });
    state.SetIterationTime(took.wall);
    state.counters["rows"] = model.rowCount();
  }
}

void Register(Workload& work) {
  const std::string million = std::to_string(work.options.rows);
  for (const std::size_t batch : {std::size_t{1}, std::size_t{700}, std::size_t{2000}})
    AddBest(benchmark::RegisterBenchmark(
        ("fill/" + million + "/batch:" + std::to_string(batch)).c_str(), FillBenchmark,
        std::ref(work), batch, false));
  AddBest(benchmark::RegisterBenchmark(("fill_with_view/" + million + "/batch:2000").c_str(),
                                       FillBenchmark, std::ref(work), std::size_t{2000}, true));
  for (const int column : SortedColumns()) {
    const std::string name = std::string("sort/") + ColumnName(column);
    AddBest(benchmark::RegisterBenchmark((name + "/from_unsorted").c_str(), SortBenchmark,
                                         std::ref(work), column, SortStart::Unsorted));
    AddBest(benchmark::RegisterBenchmark((name + "/descending").c_str(), SortBenchmark,
                                         std::ref(work), column, SortStart::Descending));
    AddBest(benchmark::RegisterBenchmark((name + "/again_from_other").c_str(), SortBenchmark,
                                         std::ref(work), column, SortStart::FromOther));
  }
  const std::pair<FindWay, const char*> ways[] = {{FindWay::FirstHit, "first_hit"},
                                                  {FindWay::EveryHit, "every_hit_by_F3"},
                                                  {FindWay::CommandLine, "command_line"}};
  for (const FindCase& find : HeaderFindCases())
    for (const auto& [way, wayName] : ways)
      AddBest(benchmark::RegisterBenchmark(
          ("find/" + million + "/" + find.name + "/" + wayName).c_str(),
          [&work, find, way = way](benchmark::State& state) {
            FindBenchmark(state, work.mails.records, find, way);
          }));
  for (const char* typed : {"i", "inv", "lighthouse"})
    AddBest(benchmark::RegisterBenchmark((std::string("quick_filter/") + typed).c_str(),
                                         QuickFilterBenchmark, std::ref(work),
                                         QString::fromLatin1(typed)));
  const std::string content = std::to_string(work.options.contentRows);
  for (const auto& [texts, textsName] :
       {std::pair{TextsIn::File, "texts:file"}, std::pair{TextsIn::Records, "texts:records"}})
    for (const FindCase& find : ContentFindCases())
      for (const auto& [way, wayName] : ways)
        AddBest(benchmark::RegisterBenchmark(
            ("find_whole_content/" + content + "/" + find.name + "/" + wayName + "/" + textsName)
                .c_str(),
            [&work, find, way = way, texts = texts](benchmark::State& state) {
              FindBenchmark(state, work.Whole(texts).records, find, way);
            }));
}

std::filesystem::path DefaultMessages() {
  if (const char* corpus = std::getenv("QUILLON_CORPUS_DIR")) return corpus;
  const std::filesystem::path source = QUILLON_SOURCE_DIR;
  const std::filesystem::path corpus = source.parent_path() / "shared" / "corpus" / "messages";
  if (std::filesystem::is_directory(corpus)) return corpus;
  return source / "tools" / "demo-mails";
}

// Takes this program's own options out of argv, leaving Google Benchmark's.
bool TakeOptions(int& argc, char** argv, Options& options) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    const bool hasValue = i + 1 < argc;
    if (word == "--rows" && hasValue) {
      options.rows = std::stoull(argv[++i]);
    } else if (word == "--content-rows" && hasValue) {
      options.contentRows = std::stoull(argv[++i]);
    } else if (word == "--content-units" && hasValue) {
      options.contentUnits = std::stoull(argv[++i]);
    } else if (word == "--messages" && hasValue) {
      options.messages = argv[++i];
    } else if (word == "--no-check") {
      options.check = false;
    } else if (word.rfind("--benchmark_", 0) == 0) {
      argv[kept++] = argv[i];
    } else {
      std::fprintf(stderr,
                   "usage: mail_list_bench [--rows N] [--content-rows N] [--content-units N] "
                   "[--messages DIR] [--no-check] [--benchmark_...]\n");
      return false;
    }
  }
  argc = kept;
  if (options.messages.empty()) options.messages = DefaultMessages();
  return true;
}

int Run(Workload& work) {
  std::printf("load before: %s\n", LoadAverage().c_str());
  work.material = ScanMessages(work.options.messages);
  if (work.material.scanned.empty()) {
    std::fprintf(stderr, "mail_list_bench: no mail found in %s\n", work.options.messages.c_str());
    return 1;
  }
  std::printf("material: %zu mails found in %s\n", work.material.scanned.size(),
              work.material.origin.c_str());
  const std::uint64_t heapBefore = HeapInUse();
  work.mails = MakeMails(work.material, work.options.rows, false, work.options.contentUnits, 15);
  KeepTextsIn(work.mails, MailTextStore::InTemporaryFolder());
  std::printf(
      "records: %zu made, %.0f bytes of heap each (bodies cut at %zu units)\n", work.options.rows,
      static_cast<double>(HeapInUse() - heapBefore) / static_cast<double>(work.options.rows),
      work.options.contentUnits);
  std::vector<std::string> failures;
  if (work.options.check) {
    std::vector<std::string> hits;
    failures = CheckList(work.mails.records, HeaderFindCases(), true, hits);
    // The texts read back from the scratch file must give the hits the records' own texts give.
    for (const TextsIn texts : {TextsIn::File, TextsIn::Records}) {
      const std::vector<std::string> content =
          CheckList(work.Whole(texts).records, ContentFindCases(), false, hits);
      failures.insert(failures.end(), content.begin(), content.end());
    }
    for (const std::string& line : hits) std::printf("  %s\n", line.c_str());
    for (const std::string& line : failures) std::printf("SANITY: %s\n", line.c_str());
    std::printf("%s\n", failures.empty() ? "all sanity checks hold" : "sanity checks failed");
    for (std::unique_ptr<MadeMails>& made : work.whole) made.reset();
  }
  std::fflush(stdout);
  Register(work);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("peak resident: %.0f MiB; load after: %s\n",
              static_cast<double>(PeakResidentBytes()) / (1024.0 * 1024.0), LoadAverage().c_str());
  return failures.empty() ? 0 : 1;
}

}  // namespace

}  // namespace quillon::bench

int main(int argc, char** argv) {
  quillon::bench::Workload work;
  if (!quillon::bench::TakeOptions(argc, argv, work.options)) return 2;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  work.application = &application;
  benchmark::Initialize(&argc, argv);
  return quillon::bench::Run(work);
}
