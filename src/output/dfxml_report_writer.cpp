#include "output/dfxml_report_writer.h"

#include <string>

#include "output/report_text.h"
#include "output/xml_writer_library.h"

namespace quillon {

namespace {

const xmlChar* Xml(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}

const xmlChar* Xml(const std::string& text) {
  return Xml(text.c_str());
}

// A failed write is told by the stream's state at Finish; telling libxml2 would only make it
// print its own message on stderr.
int WriteToStream(void* context, const char* bytes, int length) {
  static_cast<std::ostream*>(context)->write(bytes, length);
  return length;
}

}  // namespace

// libxml2's streaming writer over the caller's stream, and whether every call so far worked.
struct DfxmlReportWriter::Writer {
  std::ostream& out;
  const XmlWriterLibrary* xml = nullptr;
  xmlTextWriterPtr writer = nullptr;
  bool ok = true;
  bool finished = false;

  // Without the library the writer is not usable and the report fails as a write would.
  explicit Writer(std::ostream& stream) : out(stream) {
    std::string unloaded;
    xml = LoadXmlWriterLibrary(unloaded);
    if (!xml) {
      ok = false;
      return;
    }
    xmlOutputBufferPtr buffer = xml->outputBufferCreateIO(WriteToStream, nullptr, &out, nullptr);
    if (buffer) writer = xml->newTextWriter(buffer);  // owns the buffer from here on
    ok = writer != nullptr;
    if (ok) {
      Check(xml->setIndent(writer, 1));
      Check(xml->setIndentString(writer, Xml("  ")));
    }
  }
  ~Writer() {
    if (writer) xml->freeTextWriter(writer);
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  void Check(int result) {
    if (result < 0) ok = false;
  }
  bool Usable() const { return ok && writer && !finished; }

  void Start(const char* name) {
    if (Usable()) Check(xml->startElement(writer, Xml(name)));
  }
  void End() {
    if (Usable()) Check(xml->endElement(writer));
  }
  void Attribute(const char* name, const std::string& value) {
    if (Usable()) Check(xml->writeAttribute(writer, Xml(name), Xml(value)));
  }
  void Element(const char* name, std::string_view text) {
    if (Usable()) Check(xml->writeElement(writer, Xml(name), Xml(report_text::XmlText(text))));
  }
  void Hash(const std::string& type, const std::string& hex) {
    Start("hashdigest");
    Attribute("type", type);
    if (Usable()) Check(xml->writeString(writer, Xml(report_text::XmlText(hex))));
    End();
  }
};

DfxmlReportWriter::DfxmlReportWriter(std::ostream& out, const ReportCreator& creator,
                                     const ReportedSource& source)
    : writer_(std::make_unique<Writer>(out)) {
  Writer& w = *writer_;
  if (w.Usable()) w.Check(w.xml->startDocument(w.writer, "1.0", "UTF-8", nullptr));
  w.Start("dfxml");
  w.Attribute("xmlns", kDfxmlNamespace);
  w.Attribute("xmlns:dc", "http://purl.org/dc/elements/1.1/");
  w.Attribute("xmlns:q", kMailNamespace);
  w.Attribute("version", "1.0");

  w.Start("metadata");
  w.Element("dc:type", "Carved Files");
  w.End();

  w.Start("creator");
  w.Attribute("version", "1.0");
  w.Element("program", creator.program);
  w.Element("version", creator.version);
  w.Start("execution_environment");
  w.Element("command_line", creator.commandLine);
  if (!creator.startTime.empty()) w.Element("start_time", creator.startTime);
  w.End();
  w.End();

  w.Start("source");
  w.Element("image_filename", source.name);
  w.Element("imagesize", std::to_string(source.sizeBytes));
  if (!source.container.empty()) w.Element("q:container", source.container);
  for (const DigestValue& digest : source.hashes)
    w.Hash(std::string(DigestName(digest.algorithm)), digest.hex);
  w.End();
}

DfxmlReportWriter::~DfxmlReportWriter() = default;

void DfxmlReportWriter::Add(const ReportedMail& mail) {
  if (mail.file.empty()) return;
  Writer& w = *writer_;
  w.Start("fileobject");
  w.Element("filename", mail.file);
  w.Element("filesize", std::to_string(mail.fileSize));
  if (!mail.sha256.empty()) w.Hash("sha256", mail.sha256);
  if (!mail.byteRuns.empty()) {
    w.Start("byte_runs");
    for (const ByteRun& run : mail.byteRuns) {
      w.Start("byte_run");
      w.Attribute("file_offset", std::to_string(run.fileOffset));
      if (run.fill)
        w.Attribute("fill", std::to_string(run.fillByte));
      else
        w.Attribute("img_offset", std::to_string(run.imageOffset));
      w.Attribute("len", std::to_string(run.length));
      w.End();
    }
    w.End();
  }

  w.Start("q:mail");
  w.Element("q:index", std::to_string(mail.index));
  w.Element("q:sector", std::to_string(mail.sector));
  w.Element("q:offset", std::to_string(mail.offset));
  w.Element("q:bytes", std::to_string(mail.bytes));
  w.Element("q:found_by", mail.foundBy);
  w.Element("q:damaged", mail.damaged ? "yes" : "no");
  w.Element("q:from", mail.from);
  w.Element("q:to", mail.to);
  w.Element("q:subject", mail.subject);
  w.Element("q:date", mail.date);
  w.Element("q:message_id", mail.messageId);
  if (mail.duplicateOf) w.Element("q:duplicate_of", std::to_string(*mail.duplicateOf));
  if (mail.partOf) w.Element("q:part_of", std::to_string(*mail.partOf));
  for (const std::string& name : mail.attachments) w.Element("q:attachment", name);
  w.End();
  w.End();
}

bool DfxmlReportWriter::Finish() {
  Writer& w = *writer_;
  if (w.Usable()) w.Check(w.xml->endDocument(w.writer));  // closes every open element
  if (w.Usable()) w.Check(w.xml->flush(w.writer));
  w.finished = true;
  w.out.flush();
  return w.ok && static_cast<bool>(w.out);
}

}  // namespace quillon
