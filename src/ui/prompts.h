// Everything the windows ask the user, and every hand-over to the desktop, behind one interface:
// the application uses the desktop's dialogs, tests answer with scripted replies.
#pragma once

#include <QString>
#include <QUrl>
#include <optional>
#include <string>

#include "output/save_format.h"
#include "ui/mail_find.h"

class QWidget;

namespace quillon {

class Prompts {
 public:
  virtual ~Prompts() = default;

  // Questions with the question icon; the first button is the default. True for Yes (or OK).
  virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
  virtual bool AskOkCancel(QWidget* parent, const QString& text) = 0;
  // A report with an OK button.
  virtual void ShowInformation(QWidget* parent, const QString& text) = 0;
  virtual void ShowError(QWidget* parent, const QString& text) = 0;

  // The data-source dialog: the name of the source to scan, or nothing when cancelled.
  virtual std::optional<std::string> ChooseSource(QWidget* parent) = 0;
  // The image or mail-store file to add to the data-source dialog; empty when cancelled.
  virtual QString ChooseImageFile(QWidget* parent) = 0;
  // The folder a save run writes into; empty when cancelled.
  virtual QString ChooseSaveFolder(QWidget* parent) = 0;
  // The file one mail is saved as, offering `defaultName`; empty when cancelled.
  virtual QString ChooseSaveFile(QWidget* parent, const QString& defaultName,
                                 SaveFormat format) = 0;

  // The find dialog filled from `current`: the settings it was closed with, nothing on Cancel.
  virtual std::optional<FindSettings> ChooseFindSettings(QWidget* parent,
                                                         const FindSettings& current) = 0;

  virtual void ShowAbout(QWidget* parent) = 0;
  // A web or mail address, or a local page, for the user's browser or mail program. False when
  // nothing could open it.
  virtual bool OpenExternal(const QUrl& url) = 0;
};

// The desktop's message boxes, file dialogs and URL handler.
class DesktopPrompts final : public Prompts {
 public:
  bool AskYesNo(QWidget* parent, const QString& text) override;
  bool AskOkCancel(QWidget* parent, const QString& text) override;
  void ShowInformation(QWidget* parent, const QString& text) override;
  void ShowError(QWidget* parent, const QString& text) override;
  std::optional<std::string> ChooseSource(QWidget* parent) override;
  QString ChooseImageFile(QWidget* parent) override;
  QString ChooseSaveFolder(QWidget* parent) override;
  QString ChooseSaveFile(QWidget* parent, const QString& defaultName, SaveFormat format) override;
  std::optional<FindSettings> ChooseFindSettings(QWidget* parent,
                                                 const FindSettings& current) override;
  void ShowAbout(QWidget* parent) override;
  bool OpenExternal(const QUrl& url) override;
};

}  // namespace quillon
