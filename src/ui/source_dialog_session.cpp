#include "ui/source_dialog_session.h"

#include <QSettings>
#include <cerrno>
#include <system_error>

#include "source/data_source.h"
#include "text/code_page.h"
#include "text/locale_code_page.h"
#include "ui/window_texts.h"

namespace quillon {

namespace {

constexpr int kWholeDiskCount = 8;
constexpr char kRecentFilesKey[] = "recentImageFiles";
constexpr char kCodePageKey[] = "ansiCodePage";

}  // namespace

MissingDrivesReason ClassifyOpenErrors(const std::vector<std::string>& errors) {
  const std::string refused = std::generic_category().message(EACCES);
  const std::string notPermitted = std::generic_category().message(EPERM);
  for (const std::string& error : errors) {
    if (error == refused || error == notPermitted) return MissingDrivesReason::NoPermission;
  }
  return MissingDrivesReason::NoneFound;
}

MissingDrivesReason ExplainMissingDrives() {
  std::vector<std::string> errors;
  for (int disk = 0; disk < kWholeDiskCount; ++disk) {
    DataSource source;
    if (!source.Open("HD" + std::to_string(disk))) errors.push_back(source.LastError());
  }
  return ClassifyOpenErrors(errors);
}

QString MissingDrivesMessage(MissingDrivesReason reason) {
  return reason == MissingDrivesReason::NoPermission ? QString(kNoDrivesMessage)
                                                     : QString(kNoDrivesFoundMessage);
}

RecentImageFiles::RecentImageFiles(QSettings* settings) : settings_(settings) {
  if (settings_) files_ = settings_->value(QLatin1String(kRecentFilesKey)).toStringList();
  while (files_.size() > kMaximum) files_.removeLast();
}

void RecentImageFiles::Remember(const QString& path) {
  files_.removeAll(path);
  files_.prepend(path);
  while (files_.size() > kMaximum) files_.removeLast();
  if (settings_) {
    settings_->setValue(QLatin1String(kRecentFilesKey), files_);
    settings_->sync();
  }
}

ChosenCodePage::ChosenCodePage(QSettings* settings)
    : settings_(settings), codePage_(AnsiCodePageFromEnvironment()) {
  if (!settings_) return;
  bool valid = false;
  const int stored = settings_->value(QLatin1String(kCodePageKey)).toInt(&valid);
  if (valid && stored > 0 && IsCodePageAvailable(stored)) codePage_ = stored;
}

void ChosenCodePage::Remember(int codePage) {
  codePage_ = codePage;
  if (settings_) {
    settings_->setValue(QLatin1String(kCodePageKey), codePage);
    settings_->sync();
  }
}

}  // namespace quillon
