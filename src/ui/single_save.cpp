#include "ui/single_save.h"

#include <fstream>

#include "output/mail_file_time.h"
#include "output/mail_rendering.h"

namespace quillon {

std::string RenderSingleSave(const MailRecord& record, SaveFormat format) {
  if (format == SaveFormat::Txt) return RenderTxt(record);
  return RenderEml(record, nullptr, nullptr);
}

bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

bool WriteMailFile(const std::filesystem::path& path, std::string_view bytes) {
  if (!WriteFileBytes(path, bytes)) return false;
  (void)StampMailFileTime(path, bytes);
  return true;
}

}  // namespace quillon
