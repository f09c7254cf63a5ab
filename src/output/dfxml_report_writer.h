// report.xml: a Digital Forensics XML document (the format carving tools write) that says what
// program read which source and where every saved file's bytes lie in it.
//
//   <dfxml version="1.0">           in the DFXML namespace, with dc: and the mail namespace q:
//     <metadata>                    dc:type "Carved Files"
//     <creator>                     program, version, execution_environment (command_line,
//                                   start_time)
//     <source>                      image_filename, imagesize, q:container, one hashdigest per
//                                   digest computed (type="sha256", "md5", ...)
//     <fileobject>                  one per saved file: filename (relative to the output folder),
//                                   filesize, hashdigest type="sha256", byte_runs of byte_run
//                                   file_offset img_offset len (fill="0" len for zeros that stand
//                                   for unreadable bytes), and q:mail with the mail's fields
//
// The mail fields (index, sector, offset, found_by, damaged, from, to, subject, date,
// message_id, duplicate_of, part_of, attachment) live in kMailNamespace so that DFXML readers
// pass them by. Text is escaped by libxml2; what is no valid UTF-8 or not allowed in XML is
// replaced by U+FFFD first.
#pragma once

#include <memory>
#include <ostream>

#include "output/report_records.h"

namespace quillon {

inline constexpr const char* kDfxmlNamespace =
    "http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML";
inline constexpr const char* kMailNamespace = "urn:quillon:mail:1";

class DfxmlReportWriter {
 public:
  // Writes the document's head: the root element, metadata, creator and source.
  DfxmlReportWriter(std::ostream& out, const ReportCreator& creator, const ReportedSource& source);
  ~DfxmlReportWriter();
  DfxmlReportWriter(const DfxmlReportWriter&) = delete;
  DfxmlReportWriter& operator=(const DfxmlReportWriter&) = delete;

  // A fileobject for a saved mail; a mail that was not saved (no file) is passed by.
  void Add(const ReportedMail& mail);

  // Closes the document and flushes; false when anything failed to be written. Nothing may be
  // added afterwards.
  [[nodiscard]] bool Finish();

 private:
  struct Writer;
  std::unique_ptr<Writer> writer_;
};

}  // namespace quillon
