// Everything the windows ask the user, and every hand-over to the desktop, behind one interface:
// the application uses the desktop's dialogs, tests answer with scripted replies.
#pragma once

#include <QString>
#include <QUrl>
#include <memory>
#include <optional>
#include <string>

#include "output/save_format.h"
#include "ui/mail_find.h"

class QSettings;
class QWidget;

namespace quillon {

// The answer of a question that loses nothing: what Esc and the question's own close button
// give, so that only a deliberate click can throw found mails away.
enum class SafeAnswer { First, Second };

struct SourceDialogSession;

// The folder a save run writes into (empty when cancelled), and whether it also writes the
// report files there.
struct SaveFolderChoice {
  QString folder;
  bool report = false;
};

struct SourceChoice {
  std::string sourceName;
  int ansiCodePage = 0;
};

class Prompts {
 public:
  virtual ~Prompts() = default;

  // Questions with the question icon; the first button is the default. True for Yes (or OK).
  virtual bool AskYesNo(QWidget* parent, const QString& text, SafeAnswer safe) = 0;
  virtual bool AskOkCancel(QWidget* parent, const QString& text, SafeAnswer safe) = 0;
  // A report with an OK button.
  virtual void ShowInformation(QWidget* parent, const QString& text) = 0;
  virtual void ShowError(QWidget* parent, const QString& text) = 0;

  // The data-source dialog: the source to scan and the code page of its text without a charset,
  // or nothing when cancelled.
  virtual std::optional<SourceChoice> ChooseSource(QWidget* parent) = 0;
  // The image or mail-store file to add to the data-source dialog; empty when cancelled.
  virtual QString ChooseImageFile(QWidget* parent) = 0;
  // The folder a save run writes into, with a check box for the report.
  virtual SaveFolderChoice ChooseSaveFolder(QWidget* parent) = 0;
  // The file one mail is saved as, offering `defaultName`; empty when cancelled.
  virtual QString ChooseSaveFile(QWidget* parent, const QString& defaultName,
                                 SaveFormat format) = 0;
  // The file an attachment is saved as, offering its name; empty when cancelled.
  virtual QString ChooseAttachmentFile(QWidget* parent, const QString& defaultName) = 0;

  // The find dialog filled from `current`: the settings it was closed with, nothing on Cancel.
  virtual std::optional<FindSettings> ChooseFindSettings(QWidget* parent,
                                                         const FindSettings& current) = 0;

  virtual void ShowAbout(QWidget* parent) = 0;
  // A web or mail address, or a local page, for the user's browser or mail program. False when
  // nothing could open it (a web page or a local file: no web browser is installed).
  virtual bool OpenExternal(const QUrl& url) = 0;
  // The user guide in the program's own help viewer, for when no browser can show it.
  virtual void ShowGuide(QWidget* parent, const QUrl& page) = 0;
};

// The desktop's message boxes, file dialogs and URL handler. One lives for the whole run: it
// keeps what the data-source dialog remembers between openings.
class DesktopPrompts final : public Prompts {
 public:
  DesktopPrompts();
  ~DesktopPrompts() override;

  bool AskYesNo(QWidget* parent, const QString& text, SafeAnswer safe) override;
  bool AskOkCancel(QWidget* parent, const QString& text, SafeAnswer safe) override;
  void ShowInformation(QWidget* parent, const QString& text) override;
  void ShowError(QWidget* parent, const QString& text) override;
  std::optional<SourceChoice> ChooseSource(QWidget* parent) override;
  QString ChooseImageFile(QWidget* parent) override;
  SaveFolderChoice ChooseSaveFolder(QWidget* parent) override;
  QString ChooseSaveFile(QWidget* parent, const QString& defaultName, SaveFormat format) override;
  QString ChooseAttachmentFile(QWidget* parent, const QString& defaultName) override;
  std::optional<FindSettings> ChooseFindSettings(QWidget* parent,
                                                 const FindSettings& current) override;
  void ShowAbout(QWidget* parent) override;
  bool OpenExternal(const QUrl& url) override;
  void ShowGuide(QWidget* parent, const QUrl& page) override;

 private:
  std::unique_ptr<QSettings> settings_;
  std::unique_ptr<SourceDialogSession> session_;
  bool saveReport_ = false;  // the report check box as last left, for this run of the program
};

}  // namespace quillon
