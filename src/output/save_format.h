#pragma once

namespace quillon {

// Which renderer a save uses, and the file extension it writes. Mbox: the mails' raw text, as
// for Eml, all in one mailbox file (a save run only).
enum class SaveFormat { Eml, Txt, Mbox };

constexpr const char* FileExtension(SaveFormat format) {
  return format == SaveFormat::Eml ? ".eml" : format == SaveFormat::Txt ? ".txt" : ".mbox";
}

}  // namespace quillon
