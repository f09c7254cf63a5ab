// A found mail's content text (what a search and the preview read) is worked out from its kept
// body text when asked for: it must read the same whoever asks, wherever the text is kept, and
// whichever rule found the mail.
#include "scan/content_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "scan/mail_record.h"
#include "scan/mail_text_store.h"
#include "support/paths.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

using test::CrLf;
using test::ImageBuilder;
using test::ScanBytes;

enum class Finder { Trace, Shape };
enum class Keeper { Record, ScratchFile, Memory };

struct ContentRow {
  const char* name;
  Finder finder;
  Keeper keeper;
  int ansiCodePage;
  std::string partHeaders;  // written with bare line feeds
  std::string body;         // bytes as they stand in the mail, bare line feeds
  std::u16string content;   // what a search must read
};

std::string MailOf(const ContentRow& row) {
  const std::string head =
      "From: Carol Example <carol@example.org>\n"
      "To: Dan Example <dan@example.net>\n"
      "Subject: Content\n"
      "Date: Tue, 3 Nov 2020 08:00:00 +0100\n"
      "Message-ID: <content@example.org>\n";
  const std::string trace =
      row.finder == Finder::Trace ? "Received: from a by b; 1 Jan 2001\n" : "";
  return CrLf(trace + head + row.partHeaders + "\n" + row.body);
}

class ContentTextTest : public testing::TestWithParam<ContentRow> {};

TEST_P(ContentTextTest, EveryReaderSeesTheConvertedText) {
  const ContentRow& row = GetParam();
  // A trace line counts behind a line break; a shape find starts behind zeros.
  ImageBuilder image;
  if (row.finder == Finder::Trace)
    image.Put(700, "junk\r\n" + MailOf(row));
  else
    image.Put(4096, MailOf(row));
  image.Resize(64 * 1024);
  ScanOptions options;
  options.ansiCodePage = row.ansiCodePage;
  const auto records = ScanBytes(image.Bytes(), options).records;
  ASSERT_EQ(records.size(), 1u);
  const MailRecordPtr& record = records[0];
  EXPECT_EQ(record->foundBy, row.finder == Finder::Trace ? FoundBy::Trace : FoundBy::Shape);

  std::u16string searched = u"the mail read before";
  record->ReadContentText(searched);
  EXPECT_EQ(searched, row.content);
  const MailBody body = record->Body();
  EXPECT_EQ(body.contentText, row.content);
  // A copy carries its own content text, so that publishing it again keeps it.
  MailRecord copy;
  copy.PublishBody(body);
  std::u16string again;
  copy.ReadContentText(again);
  EXPECT_EQ(again, row.content);

  // A body published without its content text, kept where the row says: the text read back
  // from there is converted with the facts the record kept.
  MailBody deferred = body;
  deferred.contentText.clear();
  deferred.contentFromBodyText = true;
  deferred.ansiCodePage = row.ansiCodePage;
  MailRecord kept;
  kept.PublishBody(deferred);
  test::TemporaryDirectory directory;
  if (row.keeper != Keeper::Record)
    kept.KeepTextIn(std::make_shared<MailTextStore>(
        row.keeper == Keeper::ScratchFile ? directory.path() : std::filesystem::path()));
  std::u16string fromKept;
  kept.ReadContentText(fromKept);
  EXPECT_EQ(fromKept, row.content);
  EXPECT_EQ(kept.Body().contentText, row.content);
  EXPECT_EQ(kept.BodyText(), body.bodyText);
  // The same, worked out from the body's facts alone.
  EXPECT_EQ(ContentTextOf({body.bodyText, body.textCharset, body.textIsHtml, row.ansiCodePage}),
            row.content);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ContentTextTest,
    testing::Values(ContentRow{"PlainAscii", Finder::Trace, Keeper::Record, 1252, "",
                               "One\n\nThree\n", u"One\r\n\r\nThree"},
                    ContentRow{"Latin1QuotedPrintableInScratchFile", Finder::Trace,
                               Keeper::ScratchFile, 1252,
                               "Content-Type: text/plain; charset=iso-8859-1\n"
                               "Content-Transfer-Encoding: quoted-printable\n",
                               "Caf=E9 cr=E8me\n", u"Caf\u00E9 cr\u00E8me"},
                    ContentRow{"NoCharsetTakesTheScanCodePage", Finder::Trace, Keeper::ScratchFile,
                               1251, "", "\xCF\xF0\xE8\xE2\xE5\xF2\n",
                               u"\u041F\u0440\u0438\u0432\u0435\u0442"},
                    ContentRow{"NoCharsetOtherCodePage", Finder::Trace, Keeper::Memory, 1252, "",
                               "\xCF\xF0\xE8\n", u"\u00CF\u00F0\u00E8"},
                    ContentRow{"Utf8Base64", Finder::Trace, Keeper::Memory, 1252,
                               "Content-Type: text/plain; charset=utf-8\n"
                               "Content-Transfer-Encoding: base64\n",
                               "5Lit5paH\n", u"\u4E2D\u6587"},
                    ContentRow{"HtmlTagsDropped", Finder::Trace, Keeper::ScratchFile, 1252,
                               "Content-Type: text/html; charset=utf-8\n",
                               "<p>Hello <b>there</b></p>\n", u"Hello there"},
                    ContentRow{"HtmlCharsetFromItsMeta", Finder::Trace, Keeper::Record, 1251,
                               "Content-Type: text/html\n",
                               "<meta charset=windows-1252><p>\x80 5</p>\n", u"\u20AC 5"},
                    ContentRow{"ShapeFindConverted", Finder::Shape, Keeper::ScratchFile, 1251, "",
                               "\xCF\xF0\xE8\n", u"\u041F\u0440\u0438"},
                    ContentRow{"ShapeFindHtml", Finder::Shape, Keeper::Record, 1252,
                               "Content-Type: text/html; charset=iso-8859-1\n",
                               "<div>na\xEFve</div>\n", u"na\u00EFve"}),
    [](const testing::TestParamInfo<ContentRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
