#include "output/dfxml_report_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace quillon {
namespace {

ReportCreator Creator() {
  ReportCreator creator;
  creator.version = "1.7";
  creator.commandLine = "quillon save disk.E01 --out 'x & y' --report";
  creator.startTime = "2024-05-01T10:00:00Z";
  return creator;
}

ReportedSource Source() {
  ReportedSource source;
  source.name = "disk.E01";
  source.sizeBytes = 16777216;
  source.container = "E01, 3 segments";
  source.hashes = {{DigestAlgorithm::Sha256, "aa11"}, {DigestAlgorithm::Md5, "bb22"}};
  return source;
}

ReportedMail Saved() {
  ReportedMail mail;
  mail.index = 2;
  mail.file = "Mail Box/a.eml";
  mail.fileSize = 1536;
  mail.sha256 = "cc33";
  mail.sector = 10;
  mail.offset = 64;
  mail.foundBy = "trace";
  mail.subject = "<script> & \"x\"\r\n\x01";
  mail.partOf = 1;
  mail.byteRuns = {{0, 5184, 512, false}, {512, 0, 512, true}, {1024, 9000, 512, false}};
  return mail;
}

std::string Written(const std::vector<ReportedMail>& mails) {
  std::ostringstream out;
  DfxmlReportWriter writer(out, Creator(), Source());
  for (const ReportedMail& mail : mails) writer.Add(mail);
  EXPECT_TRUE(writer.Finish());
  return out.str();
}

TEST(DfxmlReportWriterTest, WritesCreatorSourceAndHashes) {
  const std::string xml = Written({});
  EXPECT_NE(xml.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), std::string::npos);
  EXPECT_NE(
      xml.find("<dfxml xmlns=\"http://www.forensicswiki.org/wiki/"
               "Category:Digital_Forensics_XML\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\""
               " xmlns:q=\"urn:quillon:mail:1\" version=\"1.0\">"),
      std::string::npos)
      << xml;
  EXPECT_NE(
      xml.find("<command_line>quillon save disk.E01 --out 'x &amp; y' --report</command_line>"),
      std::string::npos);
  EXPECT_NE(xml.find("<imagesize>16777216</imagesize>"), std::string::npos);
  EXPECT_NE(xml.find("<hashdigest type=\"md5\">bb22</hashdigest>"), std::string::npos);
  EXPECT_NE(xml.find("</dfxml>"), std::string::npos);
}

TEST(DfxmlReportWriterTest, WritesByteRunsWithFillForUnreadableBytes) {
  const std::string xml = Written({Saved()});
  EXPECT_NE(xml.find("<byte_run file_offset=\"0\" img_offset=\"5184\" len=\"512\"/>"),
            std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<byte_run file_offset=\"512\" fill=\"0\" len=\"512\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<q:part_of>1</q:part_of>"), std::string::npos);
  EXPECT_EQ(xml.find("<q:duplicate_of>"), std::string::npos);
}

TEST(DfxmlReportWriterTest, EscapesMarkupAndReplacesWhatXmlForbids) {
  const std::string xml = Written({Saved()});
  EXPECT_NE(
      xml.find("<q:subject>&lt;script&gt; &amp; &quot;x&quot;&#13;\n\xEF\xBF\xBD</q:subject>"),
      std::string::npos)
      << xml;
}

TEST(DfxmlReportWriterTest, MailNotSavedHasNoFileObject) {
  ReportedMail unsaved = Saved();
  unsaved.file.clear();
  EXPECT_EQ(Written({unsaved}).find("<fileobject>"), std::string::npos);
}

TEST(DfxmlReportWriterTest, FinishSaysWhenTheStreamFailed) {
  std::ostringstream out;
  DfxmlReportWriter writer(out, Creator(), Source());
  out.setstate(std::ios::badbit);
  for (int i = 0; i < 200; ++i) writer.Add(Saved());
  EXPECT_FALSE(writer.Finish());
}

}  // namespace
}  // namespace quillon
