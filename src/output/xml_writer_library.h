// The streaming-writer functions of libxml2, loaded when the first DFXML report is written
// (src/source/shared_library.h): every other run, a scan above all, never loads the library.
#pragma once

#include <libxml/xmlwriter.h>

#include <string>

namespace quillon {

struct XmlWriterLibrary {
  decltype(&xmlOutputBufferCreateIO) outputBufferCreateIO = nullptr;
  decltype(&xmlNewTextWriter) newTextWriter = nullptr;
  decltype(&xmlFreeTextWriter) freeTextWriter = nullptr;
  decltype(&xmlTextWriterSetIndent) setIndent = nullptr;
  decltype(&xmlTextWriterSetIndentString) setIndentString = nullptr;
  decltype(&xmlTextWriterStartDocument) startDocument = nullptr;
  decltype(&xmlTextWriterEndDocument) endDocument = nullptr;
  decltype(&xmlTextWriterStartElement) startElement = nullptr;
  decltype(&xmlTextWriterEndElement) endElement = nullptr;
  decltype(&xmlTextWriterWriteAttribute) writeAttribute = nullptr;
  decltype(&xmlTextWriterWriteElement) writeElement = nullptr;
  decltype(&xmlTextWriterWriteString) writeString = nullptr;
  decltype(&xmlTextWriterFlush) flush = nullptr;
};

// The functions of libxml2.so.2, loaded on the first call and shared from then on; null, with
// `error` saying why, when the library cannot be loaded or lacks one of them.
const XmlWriterLibrary* LoadXmlWriterLibrary(std::string& error);

}  // namespace quillon
