#include "output/xml_writer_library.h"

#include <memory>

#include "source/shared_library.h"

namespace quillon {

namespace {

struct LoadedXmlWriter {
  std::unique_ptr<SharedLibrary> library;
  XmlWriterLibrary table;
  std::string error;
};

LoadedXmlWriter Load() {
  constexpr const char* kFileName = "libxml2.so.2";
  LoadedXmlWriter loaded;
  std::string why;
  loaded.library = SharedLibrary::Open(kFileName, why);
  if (!loaded.library) {
    loaded.error =
        std::string("DFXML reports need ") + kFileName + ", which cannot be loaded (" + why + ")";
    return loaded;
  }
  std::string missing;
  const SharedLibrary& library = *loaded.library;
  XmlWriterLibrary& table = loaded.table;
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
  if (!missing.empty()) {
    loaded.error = std::string(kFileName) + " lacks writer functions: " + missing;
    loaded.library.reset();
  }
  return loaded;
}

}  // namespace

const XmlWriterLibrary* LoadXmlWriterLibrary(std::string& error) {
  static const LoadedXmlWriter loaded = Load();
  if (!loaded.library) {
    error = loaded.error;
    return nullptr;
  }
  return &loaded.table;
}

}  // namespace quillon
