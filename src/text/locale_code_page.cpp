#include "text/locale_code_page.h"

#include <charconv>
#include <cstdlib>
#include <string>

#include "text/ascii.h"

namespace quillon {

namespace {

struct LanguageCodePage {
  std::string_view language;
  int codePage;
};

constexpr LanguageCodePage kLanguages[] = {
    {"ja", 932},  {"ko", 949},  {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251},
    {"sr", 1251}, {"pl", 1250}, {"cs", 1250}, {"sk", 1250}, {"hu", 1250}, {"ro", 1250},
    {"hr", 1250}, {"sl", 1250}, {"el", 1253}, {"tr", 1254}, {"he", 1255}, {"ar", 1256},
    {"fa", 1256}, {"lt", 1257}, {"lv", 1257}, {"et", 1257}, {"vi", 1258}, {"th", 874},
};

constexpr int kWesternCodePage = 1252;

}  // namespace

int CodePageForLocale(std::string_view localeName) {
  // language[_territory][.codeset][@modifier]
  const std::string lowered = AsciiLowered(localeName);
  std::string_view name = lowered;
  std::string_view modifier;
  if (const auto at = name.find('@'); at != std::string_view::npos) {
    modifier = name.substr(at + 1);
    name = name.substr(0, at);
  }
  name = name.substr(0, name.find('.'));
  const auto underscore = name.find('_');
  const std::string_view language = name.substr(0, underscore);
  const std::string_view territory =
      underscore == std::string_view::npos ? std::string_view() : name.substr(underscore + 1);

  if (language == "zh") {
    return (territory == "tw" || territory == "hk" || territory == "mo") ? 950 : 936;
  }
  // Serbian in Latin letters uses the Central European page like Croatian.
  if (language == "sr" && modifier == "latin") return 1250;
  for (const LanguageCodePage& row : kLanguages) {
    if (row.language == language) return row.codePage;
  }
  return kWesternCodePage;
}

int AnsiCodePageFromEnvironment() {
  if (const char* forced = std::getenv("QUILLON_CODEPAGE"); forced != nullptr) {
    const std::string_view text = TrimWhiteSpace(forced);
    int codePage = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), codePage);
    if (error == std::errc() && end == text.data() + text.size() && codePage > 0) {
      return codePage;
    }
  }
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return CodePageForLocale(value);
  }
  return kWesternCodePage;
}

}  // namespace quillon
