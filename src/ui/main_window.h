// The main window: the six command buttons, the progress bar, the folder tree, the mail list with
// its filter row, and the preview. It starts scans and save runs on worker threads, shows what
// they report, and asks before anything that would lose found mails.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "output/render_options.h"
#include "output/save_format.h"
#include "scan/found_mails.h"
#include "scan/scan_observer.h"
#include "scan/scan_status.h"
#include "ui/command_states.h"
#include "ui/mail_find.h"
#include "ui/mail_folder.h"
#include "ui/worker_events.h"

class QAction;
class QMenu;
class QSplitter;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

class ListFilterBar;
class MailListModel;
class MailListView;
class PreviewView;
class Prompts;
class TextProgressBar;

// Starts the scan thread. The thread must report through `observer` only and end when
// `status.stopRequested` is set.
using ScanStarter = std::function<std::thread(const std::string& sourceName, ScanStatus& status,
                                              FoundMails& mails, ScanObserver& observer)>;

struct MainWindowOptions {
  // Opens the data-source dialog half a second after start-up.
  bool openDataDialogOnStart = true;
  // Empty: a scan of the whole source.
  ScanStarter scanStarter;
};

class MainWindow final : public QWidget, private ScanListener, private SaveRunListener {
  Q_OBJECT

 public:
  explicit MainWindow(Prompts& prompts, MainWindowOptions options = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Scans `sourceName` as if it had been chosen in the data-source dialog. False while a scan or
  // a save run is going.
  bool StartScan(const std::string& sourceName);

  const ScanStatus& Status() const { return status_; }
  const std::string& CurrentSourceName() const { return currentSourceName_; }
  const FindSettings& CurrentFindSettings() const { return findSettings_; }

  // Move the list selection to the next (previous) row that matches the find settings, round
  // the end of the list; with no match the selection and the preview are cleared and the status
  // says so.
  void FindNext();
  void FindPrevious();

 signals:
  void scanFinished(int foundCount);
  void saveRunFinished();
  // "Find" was pressed while the list holds mails.
  void findRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The mails selected and the one the keyboard is on, kept across a relisting of the rows.
  struct ListSelection {
    std::vector<const MailRecord*> selected;
    MailRecordPtr current;
  };

  // ScanListener, on the window thread.
  void ScanStarted() override;
  void ViewsReset(const QString& sourceName) override;
  void ProgressRange(std::uint64_t totalSectors) override;
  void Progress(std::uint64_t sector, const QString& statusText) override;
  void MailsFound(const std::vector<MailRecordPtr>& records) override;
  void UnreadableSectors(const std::vector<SectorRange>& ranges) override;
  void ScanFinished(int foundCount) override;
  // SaveRunListener, on the window thread.
  void SaveWritingStarted() override;
  void SaveProgressRange(std::size_t mailCount) override;
  void SaveProgress(std::size_t index, const QString& statusText) override;
  void SaveNoticed(const SaveNotice& notice) override;
  void SaveRunFinished() override;

  // main_window.cpp: the controls and the views.
  void BuildControls();
  QWidget* BuildListPane();
  void BuildMenus();
  QToolButton* MakeCommandButton(const QString& caption, const char* icon, const char* name);
  void ApplyCommandStates();

  void ResetViews(const QString& sourceName);
  void UpdateMailBoxLabel();
  void UpdateCounts();
  void RecreatePreview();
  void ListFolder(const MailFolder* folder);
  void FolderSelectionChanged();
  void AddPendingRows();
  void CurrentRowChanged(int row);
  void ShowPreview(const MailRecordPtr& record);
  void ClearPreview();
  MailFolder* FolderOf(const QTreeWidgetItem* item);
  MailRecordPtr SelectedRecord() const;
  // The selected mails in found order.
  std::vector<MailRecordPtr> SelectedRecords() const;
  ListSelection CaptureSelection() const;
  void RestoreSelection(const ListSelection& selection);
  // Runs a change that lists the rows anew, keeping the selected mails selected and in view.
  void KeepingSelection(const std::function<void()>& relist);
  void SetStatusText(const QString& text);

  // main_window_commands.cpp: what the buttons and menus do.
  void DataCommand();
  void StopCommand();
  void SaveCommand();
  void OpenGuide();
  void ShowFolderMenu(const QPoint& position);
  void ShowListMenu(const QPoint& position);
  void ShowPreviewMenu(const QPoint& position);
  // The attachments of `record`, one entry each; disabled when it has none.
  void FillAttachmentMenu(QMenu* menu, const MailRecordPtr& record);
  void StartFolderSave(SaveFormat format);
  void BeginSaveRun(SaveFormat format, std::vector<MailRecordPtr> mails, std::u16string folderName,
                    bool skipDuplicates);
  void SaveSelectedMails(SaveFormat format);
  void SaveSingleMail(const MailRecordPtr& record, SaveFormat format);
  void SaveAttachment(const MailRecordPtr& record, std::size_t index);
  void ViewSource(const MailRecordPtr& record);
  const std::string& RawTextOf(const MailRecordPtr& record);
  void FindCommand();
  void Find(FindDirection direction);
  void ShowAttribute();
  bool AttributeKeysHeld() const;
  void TrackAttributeKeys(const QEvent* event);

  void JoinScanThread();
  void JoinSaveThread();
  // Reads 8-bit text without a charset in `codePage` from now on: the next scan does, and the
  // list and the preview show their dates and texts in it at once.
  void UseAnsiCodePage(int codePage);

  Prompts& prompts_;
  MainWindowOptions options_;
  ScanStatus status_;
  FoundMails foundMails_;
  std::string currentSourceName_;
  QString unreadableStatus_;  // the finished scan's second status line, when sectors failed
  CommandStates commands_;
  std::vector<MailFolder> folders_;  // a tree item's data is its folder's index + 1
  ScanEvents scanEvents_;
  SaveRunEvents saveEvents_;
  std::thread scanThread_;
  std::thread saveThread_;
  FindSettings findSettings_;
  RenderOptions render_;  // the code page chosen in the data-source dialog
  // The attribute entry of the list menu shows only while Ctrl and Q are both held down.
  bool controlHeld_ = false;
  bool qHeld_ = false;
  // How far the scan got, for the status after a stop.
  bool scanStopped_ = false;
  std::uint64_t scanSector_ = 0;
  std::uint64_t scanSectors_ = 0;
  bool scanEnded_ = false;  // the mail box shows its count
  // Mails found but not yet listed: rows are added a few times a second, not once per mail.
  std::vector<MailRecordPtr> pendingRows_;
  QTimer* pendingTimer_ = nullptr;
  // The mail the preview shows and its raw text, read once for the preview, its attachments and
  // its source.
  MailRecordPtr previewRecord_;
  std::string previewRaw_;
  // A mail right-clicked without being previewed, read once for its menu.
  MailRecordPtr menuRecord_;
  std::string menuRaw_;
  QString savedFolder_;  // where the running save run writes

  QToolButton* saveButton_ = nullptr;
  QToolButton* dataButton_ = nullptr;
  QToolButton* helpButton_ = nullptr;
  QToolButton* findButton_ = nullptr;
  QToolButton* aboutButton_ = nullptr;
  QToolButton* stopButton_ = nullptr;
  TextProgressBar* progress_ = nullptr;
  QSplitter* mainSplitter_ = nullptr;
  QSplitter* listSplitter_ = nullptr;
  QWidget* leftColumn_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  QTreeWidgetItem* mailBoxItem_ = nullptr;
  ListFilterBar* filterBar_ = nullptr;
  MailListView* list_ = nullptr;
  MailListModel* model_ = nullptr;
  PreviewView* preview_ = nullptr;
  QMenu* listMenu_ = nullptr;
  QMenu* folderMenu_ = nullptr;
  QMenu* windowMenu_ = nullptr;
  QMenu* attachmentMenu_ = nullptr;
  QAction* viewSourceAction_ = nullptr;
  QAction* attributeSeparator_ = nullptr;
  QAction* attributeAction_ = nullptr;
  QAction* saveFolderEml_ = nullptr;
  QAction* saveFolderTxt_ = nullptr;
  QAction* saveFolderMbox_ = nullptr;
};

}  // namespace quillon
