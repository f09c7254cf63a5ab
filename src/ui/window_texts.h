// The user-visible texts of the windows that more than one file, or a test, refers to. Line
// breaks are CR LF as the texts are defined; ForDisplay turns them into what Qt shows.
#pragma once

#include <QLatin1String>
#include <QString>

namespace quillon {

inline constexpr QLatin1String kWindowCaption("Quillon V" QUILLON_VERSION);
inline constexpr QLatin1String kProductName("Quillon");

inline constexpr QLatin1String kRescanQuestion(
    "Re-scan will hide the last scanned mail.\r\nAre you sure to re-scan?");
inline constexpr QLatin1String kStopQuestion("Are you sure to stop scanning?");
inline constexpr QLatin1String kCloseWhileScanningQuestion(
    "You are scanning mail now. Are you want to scan data?\r\nClick \"Yes\" to scan; Click \"No\" "
    "to exit.");
inline constexpr QLatin1String kCloseWithUnsavedQuestion(
    "Are you want to save the scanned mails?\r\nClick \"OK\" back to main window; click "
    "\"Cancel\" to exit.");
inline constexpr QLatin1String kSaveFileError("Save file error!");
inline constexpr QLatin1String kSaveFolderTitle(
    "Please select a directory to save mail.\r\nDo not save to the drive that is same as source "
    "drive.");

inline constexpr QLatin1String kSaveEmlItem("Save as EML format file");
inline constexpr QLatin1String kSaveTxtItem("Save as TXT format file");
inline constexpr QLatin1String kSaveMboxItem("Save as mailbox (mbox) file");
// What a save run tells at its end (save_notice_message.h).
inline constexpr QLatin1String kSavedMails("Saved %1 mails!");
inline constexpr QLatin1String kSavedAlreadyThere("%1 mails were already in the folder.");
inline constexpr QLatin1String kSaveFolderNotMade("Create directory unsuccessfully!\r\n");
inline constexpr QLatin1String kSaveSourceNotOpened(
    "The source could not be opened:\r\n%1\r\nThe mails were saved as text.");
inline constexpr QLatin1String kSaveMailsAsText(
    "%1 mails could not be read back from the source and were saved as text.");
inline constexpr QLatin1String kSaveMailsFailed("%1 mails could not be saved.\r\n");
inline constexpr QLatin1String kSaveReportFailed("The report could not be written into %1:\r\n");
inline constexpr QLatin1String kSaveReportCheck(
    "Also write a report of where each mail came from (report.xml, report.csv)");
inline constexpr QLatin1String kAboutMenuItem("About Quillon(&A)...");
inline constexpr QLatin1String kSaveAttachmentItem("Save attachment");
inline constexpr QLatin1String kViewSourceItem("View source");
inline constexpr QLatin1String kNotReadBack("The mail could not be read back from its source.");
// %1: the find text.
inline constexpr QLatin1String kFindNotFound("\"%1\" not found");
// %1, %2: the block the scan stopped at and the blocks in all, %3: per cent.
inline constexpr QLatin1String kScanStoppedStatus(
    "Scan stopped at block %1 of %2 (%3 %)\r\nThe list holds only the mails found before that.");
// %1: the folder the files went into.
inline constexpr QLatin1String kSavedWhere("The files are in:\r\n%1");

inline constexpr QLatin1String kDataDialogCaption("Select data to scan Outlook Express & Foxmail");
inline constexpr QLatin1String kDataDialogPrompt(
    "Please select the source.\r\nCan be a file or a drive or a hard disk.");
inline constexpr QLatin1String kLocalDriveGroup("Local Drive");
inline constexpr QLatin1String kImageFileGroup("Image File");
inline constexpr QLatin1String kNoDrivesMessage(
    "No drive or hard disk could be opened: reading them needs root rights.\r\nYou can still "
    "scan an image or mail-store file: add it with \"Open a File\".");
inline constexpr QLatin1String kDamagedMailTip(
    "Damaged: parts of this mail lie in sectors that could not be read; zeros stand there.");
// %1: the number of sectors that could not be read, %2: which ("1000-1127, 5000").
inline constexpr QLatin1String kUnreadableSectorsStatus("%1 unreadable sectors: %2");
inline constexpr QLatin1String kNoDrivesFoundMessage(
    "No drive or hard disk was found on this machine.\r\nYou can still scan an image or "
    "mail-store file: add it with \"Open a File\".");
// %1: the source name, %2: why it did not open.
inline constexpr QLatin1String kSourceOpenError("The source \"%1\" cannot be opened.\r\n%2");

inline constexpr QLatin1String kFindDialogCaption("Find Mail");
inline constexpr QLatin1String kFindDialogPrompt(
    "Find text\nIn list window, F2 to search previous, F3 to next.");
inline constexpr QLatin1String kFindTextMissing("Please set the find text.");
inline constexpr QLatin1String kFindFieldMissing("Please select the find type.");
// %1: the source name, %2: the mail's first sector.
inline constexpr QLatin1String kAttributeText("DataSource: %1 \r\nPosition: %2 Sec");
inline constexpr QLatin1String kAttributeItem("Attribute");

inline constexpr QLatin1String kImageFileFilter("File(*.img *.dsk *.hex *.dbx *.box)");
inline constexpr QLatin1String kForensicImageFilter(
    "Forensic Image(*.E01 *.e01 *.Ex01 *.000 *.001 *aa *.vmdk *.vhd *.vhdx)");
inline constexpr QLatin1String kAllFilesFilter("All Files(*)");
inline constexpr QLatin1String kEmlFileFilter("EMail File(*.eml)");
inline constexpr QLatin1String kTxtFileFilter("Text File(*.txt)");

inline constexpr QLatin1String kGuideLinkText("Quillon user guide");
inline constexpr QLatin1String kSupportAddress("mailto:support@quillon.example.org");

// Qt draws a CR as a visible box in some fonts: show a CR LF pair as a plain line break.
inline QString ForDisplay(QString text) {
  return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

}  // namespace quillon
