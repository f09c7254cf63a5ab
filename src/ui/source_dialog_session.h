// What the data-source dialog keeps from one opening to the next: whether the user was told why
// no drive is offered (once per run is enough), and the image files opened before, which are
// remembered between runs.
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

struct SourceDialogSession {
  explicit SourceDialogSession(QSettings* settings = nullptr) : recentFiles(settings) {}

  bool missingDrivesReported = false;
  RecentImageFiles recentFiles;
  std::function<MissingDrivesReason()> explainMissingDrives = ExplainMissingDrives;
};

}  // namespace quillon
