// The dialog in which the user picks what to scan: a drive, a whole disk, or an image or
// mail-store file, and the code page that 8-bit text without a charset is read in. On OK the
// chosen source has just been opened once, so the scan can open it.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "source/source_enumeration.h"
#include "ui/source_dialog_session.h"
#include "ui/source_list.h"

class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

class Prompts;

class DataSourceDialog final : public QDialog {
  Q_OBJECT

 public:
  // `sources`: the drives and disks that can be opened, in the order EnumerateSources gives.
  // `session` outlives the dialog: image files opened before are offered again, and why no
  // drive is offered is told only once per session.
  DataSourceDialog(Prompts& prompts, const std::vector<SourceEntry>& sources,
                   SourceDialogSession& session, QWidget* parent = nullptr);

  // The accepted source name; empty until OK succeeded.
  const std::string& ChosenSourceName() const { return chosenSourceName_; }
  // The code page chosen, remembered in the session on OK; the session's until then.
  int ChosenCodePage() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildTree(const std::vector<SourceEntry>& sources);
  QWidget* BuildCodePageChoice();
  QTreeWidgetItem* AddSourceItem(QTreeWidgetItem* group, const QString& label, int iconKind,
                                 std::string name);
  int SelectedIndex() const;
  void UpdateOkButton();
  void OpenFile();
  void AcceptChoice();

  void AddImageFile(const std::string& path, const std::string& label);

  Prompts& prompts_;
  SourceDialogSession& session_;
  SourceList sources_;
  std::string chosenSourceName_;
  QTreeWidget* tree_ = nullptr;
  QTreeWidgetItem* localDriveGroup_ = nullptr;
  QTreeWidgetItem* imageFileGroup_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QComboBox* codePageBox_ = nullptr;
};

}  // namespace quillon
