#pragma once

namespace quillon {

// Which renderer a save uses, and the file extension it writes.
enum class SaveFormat { Eml, Txt };

constexpr const char* FileExtension(SaveFormat format) {
  return format == SaveFormat::Eml ? ".eml" : ".txt";
}

}  // namespace quillon
