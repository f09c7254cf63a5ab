// The dialog in which the user picks what to scan: a drive, a whole disk, or an image or
// mail-store file. On OK the chosen source has just been opened once, so the scan can open it.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "source/source_enumeration.h"
#include "ui/source_list.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

class Prompts;

class DataSourceDialog final : public QDialog {
  Q_OBJECT

 public:
  // `sources`: the drives and disks that can be opened, in the order EnumerateSources gives.
  DataSourceDialog(Prompts& prompts, const std::vector<SourceEntry>& sources,
                   QWidget* parent = nullptr);

  // The accepted source name; empty until OK succeeded.
  const std::string& ChosenSourceName() const { return chosenSourceName_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildTree(const std::vector<SourceEntry>& sources);
  QTreeWidgetItem* AddSourceItem(QTreeWidgetItem* group, const QString& label, int iconKind,
                                 std::string name);
  int SelectedIndex() const;
  void UpdateOkButton();
  void OpenFile();
  void AcceptChoice();

  Prompts& prompts_;
  SourceList sources_;
  std::string chosenSourceName_;
  QTreeWidget* tree_ = nullptr;
  QTreeWidgetItem* localDriveGroup_ = nullptr;
  QTreeWidgetItem* imageFileGroup_ = nullptr;
  QPushButton* okButton_ = nullptr;
  bool noDriveReported_ = false;
};

}  // namespace quillon
