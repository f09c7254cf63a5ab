// What the window tests share: prompts answered from a script, a disk image of our own sample
// mails, a scan that can be held after its first mail, and the folder screenshots go to.
#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/main_window.h"
#include "ui/prompts.h"

class QWidget;

namespace quillon::test {

// Records every question and report, and answers from queues. An empty queue answers Yes / OK /
// cancel. `onAsk` runs inside each call, while the window waits for the answer.
class ScriptedPrompts final : public Prompts {
 public:
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

  std::deque<bool> answers;                        // for AskYesNo and AskOkCancel
  std::vector<SafeAnswer> safeAnswers;             // what each question named as safe
  std::deque<std::optional<std::string>> sources;  // for ChooseSource
  std::deque<int> codePages;    // for ChooseSource; the environment's code page when empty
  std::deque<QString> files;    // for ChooseImageFile, ChooseSaveFile and ChooseAttachmentFile
  std::deque<QString> folders;  // for ChooseSaveFolder
  bool saveReport = false;      // the report check box ChooseSaveFolder answers with
  std::deque<std::optional<FindSettings>> findSettings;  // for ChooseFindSettings
  bool openSucceeds = true;                              // for OpenExternal
  std::function<void(const QString& what)> onAsk;

  // "yesno:<text>", "okcancel:<text>", "info:<text>", "error:<text>", "source", "image",
  // "folder", "file:<default name>", "attachment:<default name>", "find:<text shown>", "about",
  // "open:<url>", "guide:<url>", in call order.
  QStringList calls;

 private:
  bool NextAnswer();
  void Record(const QString& call);
};

// One of our own sample mails, CR LF line ends.
struct SampleMailText {
  std::string subject;
  std::string bytes;
};

SampleMailText PlainMail();      // quoted-printable text/plain, UTF-8
SampleMailText HtmlMail();       // text/html with a link, an "app:" link and a remote image
SampleMailText MultipartMail();  // multipart/mixed: text/html part and a PDF, priority 1
// Dated 1989, which the scan leaves as written: "Sun, 1 Jan 1989 ..." sorts after "2009-..." as
// text but before it as a time. Its subject and sender are Cyrillic, its plain text carries
// "notes.txt" in base64.
SampleMailText CyrillicMail();
SampleMailText FrenchMail();  // "Réunion du comité", quoted-printable Latin-1

// Writes the mails into an image file at the given byte offsets (by default one every 8 KiB),
// zeros between them and one zero cluster behind the last. Returns the offsets.
std::vector<std::uint64_t> WriteImage(const std::filesystem::path& path,
                                      const std::vector<SampleMailText>& mails,
                                      std::vector<std::uint64_t> offsets = {});

// A scan that stops after reporting its first mail until Release() or a stop request: the tests
// see the window in mid-scan without racing the scan.
class HeldScan {
 public:
  ScanStarter Starter();
  void Release();
  // True once the scan waits after its first mail.
  bool Holding() const { return holding_.load(); }

 private:
  class GateObserver;
  std::mutex mutex_;
  std::condition_variable released_;
  bool open_ = false;
  std::atomic<bool> holding_{false};
  std::vector<std::unique_ptr<ScanObserver>> observers_;
};

// build-ui/test-screenshots/<name>.png (with "-200" at 200 % scaling).
QString ScreenshotPath(const QString& name);
// Saves the widget's picture there; a failure is reported as a test failure by the caller.
[[nodiscard]] bool SaveTestScreenshot(QWidget& widget, const QString& name);

}  // namespace quillon::test
