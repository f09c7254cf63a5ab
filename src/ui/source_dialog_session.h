// What the data-source dialog keeps from one opening to the next: whether the user was told why
// no drive is offered (once per run is enough), and the image files opened before and the code
// page chosen for text without a charset, which are remembered between runs.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

class QSettings;

namespace quillon {

// Why no drive or disk could be offered.
enum class MissingDrivesReason { NoneFound, NoPermission };

// From the reasons the whole disks did not open (DataSource::LastError texts): missing rights
// when any of them was refused, otherwise none is there to open.
MissingDrivesReason ClassifyOpenErrors(const std::vector<std::string>& errors);

// Tries the whole disks again to tell which it is.
MissingDrivesReason ExplainMissingDrives();

// The message for the reason, with the hint that a file can still be scanned.
QString MissingDrivesMessage(MissingDrivesReason reason);

// The image and mail-store files opened before, newest first, at most kMaximum.
class RecentImageFiles {
 public:
  static constexpr int kMaximum = 8;

  // Kept in `settings` when given (not owned), else only for this run.
  explicit RecentImageFiles(QSettings* settings = nullptr);

  QStringList Files() const { return files_; }
  // Moves `path` to the front.
  void Remember(const QString& path);

 private:
  QSettings* settings_;
  QStringList files_;
};

// The code page 8-bit text without a charset is read in, as last chosen; the environment's
// (AnsiCodePageFromEnvironment) until one is chosen, or when the one chosen no longer converts.
class ChosenCodePage {
 public:
  // Kept in `settings` when given (not owned), else only for this run.
  explicit ChosenCodePage(QSettings* settings = nullptr);

  int Value() const { return codePage_; }
  void Remember(int codePage);

 private:
  QSettings* settings_;
  int codePage_;
};

struct SourceDialogSession {
  explicit SourceDialogSession(QSettings* settings = nullptr)
      : recentFiles(settings), codePage(settings) {}

  bool missingDrivesReported = false;
  RecentImageFiles recentFiles;
  ChosenCodePage codePage;
  std::function<MissingDrivesReason()> explainMissingDrives = ExplainMissingDrives;
};

}  // namespace quillon
