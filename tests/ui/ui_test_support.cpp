#include "ui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QWidget>
#include <chrono>
#include <fstream>
#include <thread>

#include "scan/scan_driver.h"
#include "text/locale_code_page.h"
#include "ui/screenshot.h"

namespace quillon::test {

bool ScriptedPrompts::NextAnswer() {
  if (answers.empty()) return true;
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

void ScriptedPrompts::Record(const QString& call) {
  calls << call;
  if (onAsk) onAsk(call);
}

bool ScriptedPrompts::AskYesNo(QWidget*, const QString& text, SafeAnswer safe) {
  safeAnswers.push_back(safe);
  Record(QStringLiteral("yesno:") + text);
  return NextAnswer();
}

bool ScriptedPrompts::AskOkCancel(QWidget*, const QString& text, SafeAnswer safe) {
  safeAnswers.push_back(safe);
  Record(QStringLiteral("okcancel:") + text);
  return NextAnswer();
}

void ScriptedPrompts::ShowInformation(QWidget*, const QString& text) {
  Record(QStringLiteral("info:") + text);
}

void ScriptedPrompts::ShowError(QWidget*, const QString& text) {
  Record(QStringLiteral("error:") + text);
}

std::optional<SourceChoice> ScriptedPrompts::ChooseSource(QWidget*) {
  Record(QStringLiteral("source"));
  if (sources.empty()) return std::nullopt;
  const std::optional<std::string> source = sources.front();
  sources.pop_front();
  if (!source) return std::nullopt;
  SourceChoice choice{*source, AnsiCodePageFromEnvironment()};
  if (!codePages.empty()) {
    choice.ansiCodePage = codePages.front();
    codePages.pop_front();
  }
  return choice;
}

QString ScriptedPrompts::ChooseImageFile(QWidget*) {
  Record(QStringLiteral("image"));
  if (files.empty()) return {};
  QString file = files.front();
  files.pop_front();
  return file;
}

SaveFolderChoice ScriptedPrompts::ChooseSaveFolder(QWidget*) {
  Record(QStringLiteral("folder"));
  if (folders.empty()) return {};
  QString folder = folders.front();
  folders.pop_front();
  return {folder, saveReport};
}

QString ScriptedPrompts::ChooseSaveFile(QWidget*, const QString& defaultName, SaveFormat) {
  Record(QStringLiteral("file:") + defaultName);
  if (files.empty()) return {};
  QString file = files.front();
  files.pop_front();
  return file;
}

QString ScriptedPrompts::ChooseAttachmentFile(QWidget*, const QString& defaultName) {
  Record(QStringLiteral("attachment:") + defaultName);
  if (files.empty()) return {};
  QString file = files.front();
  files.pop_front();
  return file;
}

void ScriptedPrompts::ShowAbout(QWidget*) {
  Record(QStringLiteral("about"));
}

std::optional<FindSettings> ScriptedPrompts::ChooseFindSettings(QWidget*,
                                                                const FindSettings& current) {
  Record(QStringLiteral("find:") + QString::fromStdU16String(current.text));
  if (findSettings.empty()) return std::nullopt;
  auto settings = findSettings.front();
  findSettings.pop_front();
  return settings;
}

bool ScriptedPrompts::OpenExternal(const QUrl& url) {
  Record(QStringLiteral("open:") + url.toString());
  return openSucceeds;
}

void ScriptedPrompts::ShowGuide(QWidget*, const QUrl& page) {
  Record(QStringLiteral("guide:") + page.toString());
}

namespace {

std::string CrLf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

constexpr char kTraceLines[] =
    "Received: from relay.example.net (relay.example.net [198.51.100.9])\n"
    "\tby mx.example.org with ESMTP id Q1; Mon, 9 Mar 2009 10:11:14 +0000\n"
    "Received: from desk.example.org (desk.example.org [192.0.2.10])\n"
    "\tby relay.example.net with ESMTP id Q0; Mon, 9 Mar 2009 10:11:13 +0000\n";

}  // namespace

SampleMailText PlainMail() {
  return {"Harbour caf\xC3\xA9 opening hours",
          CrLf(std::string("Return-Path: <nora.quill@example.org>\n") + kTraceLines +
               "From: Nora Quill <nora.quill@example.org>\n"
               "To: Paul Reed <paul.reed@example.net>\n"
               "Subject: =?utf-8?q?Harbour_caf=C3=A9_opening_hours?=\n"
               "Date: Mon, 9 Mar 2009 10:11:12 +0000\n"
               "Message-ID: <plain-1@example.org>\n"
               "MIME-Version: 1.0\n"
               "Content-Type: text/plain; charset=utf-8\n"
               "Content-Transfer-Encoding: quoted-printable\n"
               "\n"
               "Hello Paul,\n"
               "\n"
               "The harbour caf=C3=A9 opens at nine from Monday on.\n"
               "\n"
               "Nora\n")};
}

SampleMailText HtmlMail() {
  return {"Minutes of the harbour meeting",
          CrLf(std::string("Return-Path: <lena.ward@example.com>\n") + kTraceLines +
               "From: Lena Ward <lena.ward@example.com>\n"
               "To: Harbour Board <board@example.org>\n"
               "Subject: Minutes of the harbour meeting\n"
               "Date: Tue, 10 Mar 2009 08:30:00 +0000\n"
               "Message-ID: <html-1@example.com>\n"
               "MIME-Version: 1.0\n"
               "Content-Type: text/html; charset=us-ascii\n"
               "Content-Transfer-Encoding: quoted-printable\n"
               "\n"
               "<html><head><title>Minutes</title></head><body>\n"
               "<h2>Minutes of the harbour meeting</h2>\n"
               "<p>The <b>new pier</b> opens in May. Details on <a href=3D\"https://harbour.exam=\n"
               "ple.com/pier\">the harbour site</a>.</p>\n"
               "<p><a href=3D\"app:delete-everything\">Tidy up</a></p>\n"
               "<img src=3D\"http://tracker.example.com/pixel.gif\" width=3D\"1\" height=3D\"1\">\n"
               "</body></html>\n")};
}

SampleMailText MultipartMail() {
  return {"Survey report for the north pier",
          CrLf(std::string("Return-Path: <omar.fields@example.net>\n") + kTraceLines +
               "From: Omar Fields <omar.fields@example.net>\n"
               "To: Lena Ward <lena.ward@example.com>\n"
               "Subject: Survey report for the north pier\n"
               "Date: Wed, 11 Mar 2009 17:45:09 +0000\n"
               "Message-ID: <multi-1@example.net>\n"
               "X-Priority: 1\n"
               "MIME-Version: 1.0\n"
               "Content-Type: multipart/mixed; boundary=\"=_outer_77\"\n"
               "\n"
               "--=_outer_77\n"
               "Content-Type: text/html; charset=utf-8\n"
               "Content-Transfer-Encoding: quoted-printable\n"
               "\n"
               "<html><body><p>Please find the survey report attached.</p></body></html>\n"
               "\n"
               "--=_outer_77\n"
               "Content-Type: application/pdf; name=\"survey-report.pdf\"\n"
               "Content-Transfer-Encoding: base64\n"
               "Content-Disposition: attachment; filename=\"survey-report.pdf\"\n"
               "\n"
               "JVBERi0xLjQKJcfsj6IKMSAwIG9iago8PC9UeXBlL0NhdGFsb2c+PgplbmRvYmoKdHJhaWxlcgo8\n"
               "PC9Sb290IDEgMCBSPj4KJSVFT0YK\n"
               "\n"
               "--=_outer_77--\n")};
}

SampleMailText CyrillicMail() {
  // "Казань: встреча" and "Ирина Соколова", B-encoded UTF-8 (RFC 2047).
  return {
      "\xD0\x9A\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xBD\xD1\x8C: \xD0\xB2\xD1\x81\xD1\x82\xD1\x80"
      "\xD0\xB5\xD1\x87\xD0\xB0",
      CrLf(std::string("Return-Path: <irina@example.ru>\n") + kTraceLines +
           "From: =?utf-8?b?0JjRgNC40L3QsCDQodC+0LrQvtC70L7QstCw?= <irina@example.ru>\n"
           "To: Nora Quill <nora.quill@example.org>\n"
           "Subject: =?utf-8?b?0JrQsNC30LDQvdGMOiDQstGB0YLRgNC10YfQsA==?=\n"
           "Date: Sun, 1 Jan 1989 09:00:00 +0300\n"
           "Message-ID: <kazan-1@example.ru>\n"
           "MIME-Version: 1.0\n"
           "Content-Type: multipart/mixed; boundary=\"kz\"\n"
           "\n"
           "--kz\n"
           "Content-Type: text/plain; charset=utf-8\n"
           "Content-Transfer-Encoding: 8bit\n"
           "\n"
           "\xD0\x92\xD1\x81\xD1\x82\xD1\x80\xD0\xB5\xD1\x87\xD0\xB0 \xD0\xB2 "
           "\xD0\x9A\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xBD\xD0\xB8.\n"
           "--kz\n"
           "Content-Type: text/plain; name=\"notes.txt\"\n"
           "Content-Disposition: attachment; filename=\"notes.txt\"\n"
           "Content-Transfer-Encoding: base64\n"
           "\n"
           "UGllciBub3Rlcwo=\n"
           "--kz--\n")};
}

SampleMailText FrenchMail() {
  return {"R\xC3\xA9union du comit\xC3\xA9",
          CrLf(std::string("Return-Path: <luc@example.fr>\n") + kTraceLines +
               "From: Luc Martin <luc@example.fr>\n"
               "To: Nora Quill <nora.quill@example.org>\n"
               "Subject: =?iso-8859-1?q?R=E9union_du_comit=E9?=\n"
               "Date: Thu, 12 Mar 2009 09:15:00 +0100\n"
               "Message-ID: <reunion-1@example.fr>\n"
               "MIME-Version: 1.0\n"
               "Content-Type: text/plain; charset=iso-8859-1\n"
               "Content-Transfer-Encoding: quoted-printable\n"
               "\n"
               "La r=E9union du comit=E9 aura lieu jeudi.\n")};
}

std::vector<std::uint64_t> WriteImage(const std::filesystem::path& path,
                                      const std::vector<SampleMailText>& mails,
                                      std::vector<std::uint64_t> offsets) {
  constexpr std::uint64_t kSlot = 8192;
  for (std::size_t i = offsets.size(); i < mails.size(); ++i)
    offsets.push_back(i == 0 ? 0 : offsets[i - 1] + kSlot);
  std::string image(offsets.empty() ? kSlot : offsets[mails.size() - 1] + 2 * kSlot, '\0');
  for (std::size_t i = 0; i < mails.size(); ++i)
    image.replace(offsets[i], mails[i].bytes.size(), mails[i].bytes);
  std::ofstream(path, std::ios::binary)
      .write(image.data(), static_cast<std::streamsize>(image.size()));
  return offsets;
}

class HeldScan::GateObserver final : public ScanObserver {
 public:
  GateObserver(ScanObserver& inner, ScanStatus& status, HeldScan& owner)
      : inner_(inner), status_(status), owner_(owner) {}

  void OnScanStarted() override { inner_.OnScanStarted(); }
  void OnViewsReset(std::string_view name) override { inner_.OnViewsReset(name); }
  void OnProgressRange(std::uint64_t total) override { inner_.OnProgressRange(total); }
  void OnProgressPosition(std::uint64_t sector) override { inner_.OnProgressPosition(sector); }
  void OnMailFound(const MailRecordPtr& record) override {
    inner_.OnMailFound(record);
    sawMail_ = true;
  }

  // Held on the counts that include the first mail, so the window shows "Found 1 Mails".
  void OnProgress(const ScanProgress& progress) override {
    inner_.OnProgress(progress);
    if (!sawMail_ || held_) return;
    held_ = true;
    // Like a slow disk that still honours the stop flag.
    owner_.holding_ = true;
    std::unique_lock lock(owner_.mutex_);
    while (!owner_.open_ && !status_.stopRequested.load())
      owner_.released_.wait_for(lock, std::chrono::milliseconds(5));
    owner_.holding_ = false;
  }

  void OnScanFinished(int count) override { inner_.OnScanFinished(count); }

 private:
  ScanObserver& inner_;
  ScanStatus& status_;
  HeldScan& owner_;
  bool sawMail_ = false;
  bool held_ = false;
};

ScanStarter HeldScan::Starter() {
  return [this](const std::string& sourceName, ScanStatus& status, FoundMails& mails,
                ScanObserver& observer) {
    observers_.push_back(std::make_unique<GateObserver>(observer, status, *this));
    ScanObserver* gate = observers_.back().get();
    return std::thread([sourceName, &status, &mails, gate] {
      (void)RunScanOfSource(sourceName, ScanOptions{}, status, mails, *gate);
    });
  };
}

void HeldScan::Release() {
  {
    std::lock_guard lock(mutex_);
    open_ = true;
  }
  released_.notify_all();
}

QString ScreenshotPath(const QString& name) {
  const bool doubled = qEnvironmentVariable("QT_SCALE_FACTOR") == QLatin1String("2");
  return QStringLiteral(QUILLON_SCREENSHOT_DIR "/") + name +
         (doubled ? QStringLiteral("-200") : QString()) + QStringLiteral(".png");
}

bool SaveTestScreenshot(QWidget& widget, const QString& name) {
  // The test's pointer is wherever an earlier test clicked; a picture shows no button under it.
  for (QAbstractButton* button : widget.findChildren<QAbstractButton*>()) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
  }
  return SaveScreenshot(widget, ScreenshotPath(name));
}

}  // namespace quillon::test
