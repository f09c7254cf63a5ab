#include "output/xml_writer_library.h"

#include "source/shared_library.h"

namespace quillon {

const XmlWriterLibrary* LoadXmlWriterLibrary(std::string& error) {
  static const LoadedTable<XmlWriterLibrary> loaded(
      "libxml2.so.2", "DFXML reports need", "lacks writer functions",
      [](const SharedLibrary& library, XmlWriterLibrary& table, std::string& missing) {
        library.Bind(table.outputBufferCreateIO, "xmlOutputBufferCreateIO", missing);
        library.Bind(table.newTextWriter, "xmlNewTextWriter", missing);
        library.Bind(table.freeTextWriter, "xmlFreeTextWriter", missing);
        library.Bind(table.setIndent, "xmlTextWriterSetIndent", missing);
        library.Bind(table.setIndentString, "xmlTextWriterSetIndentString", missing);
        library.Bind(table.startDocument, "xmlTextWriterStartDocument", missing);
        library.Bind(table.endDocument, "xmlTextWriterEndDocument", missing);
        library.Bind(table.startElement, "xmlTextWriterStartElement", missing);
        library.Bind(table.endElement, "xmlTextWriterEndElement", missing);
        library.Bind(table.writeAttribute, "xmlTextWriterWriteAttribute", missing);
        library.Bind(table.writeElement, "xmlTextWriterWriteElement", missing);
        library.Bind(table.writeString, "xmlTextWriterWriteString", missing);
        library.Bind(table.flush, "xmlTextWriterFlush", missing);
      });
  return loaded.Get(error);
}

}  // namespace quillon
