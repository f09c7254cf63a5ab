#include "text/converter_names.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace quillon {

namespace {

struct CodePageConverter {
  int codePage;
  ConverterNames names;
};

// Sorted by code page. Where neither ICU nor iconv has the exact page, a close relative stands
// in when it decodes the same bytes for all but a few rare characters; this is marked.
constexpr CodePageConverter kConverters[] = {
    {37, {"ibm-37", nullptr}},
    {437, {"ibm-437", nullptr}},
    {708, {"ASMO-708", nullptr}},
    {720, {"ibm-720", nullptr}},
    {737, {"ibm-737", nullptr}},
    {775, {"ibm-775", nullptr}},
    {850, {"ibm-850", nullptr}},
    {852, {"ibm-852", nullptr}},
    {857, {"ibm-857", nullptr}},
    {861, {"ibm-861", nullptr}},
    {862, {"ibm-862", nullptr}},
    {866, {"ibm-866", nullptr}},
    {869, {"ibm-869", nullptr}},
    {870, {"ibm-870", nullptr}},
    {874, {"windows-874", nullptr}},
    {875, {"ibm-875", nullptr}},
    {932, {"windows-31j", nullptr}},
    {936, {"windows-936", nullptr}},
    {949, {"windows-949", nullptr}},
    {950, {"windows-950", nullptr}},
    {1026, {"ibm-1026", nullptr}},
    {1140, {"ibm-1140", nullptr}},
    {1141, {"ibm-1141", nullptr}},
    {1142, {"ibm-1142", nullptr}},
    {1143, {"ibm-1143", nullptr}},
    {1144, {"ibm-1144", nullptr}},
    {1145, {"ibm-1145", nullptr}},
    {1146, {"ibm-1146", nullptr}},
    {1147, {"ibm-1147", nullptr}},
    {1148, {"ibm-1148", nullptr}},
    {1149, {"ibm-1149", nullptr}},
    {1200, {"UTF-16LE", nullptr}},
    {1201, {"UTF-16BE", nullptr}},
    {1250, {"windows-1250", nullptr}},
    {1251, {"windows-1251", nullptr}},
    {1252, {"windows-1252", nullptr}},
    {1253, {"windows-1253", nullptr}},
    {1254, {"windows-1254", nullptr}},
    {1255, {"windows-1255", nullptr}},
    {1256, {"windows-1256", nullptr}},
    {1257, {"windows-1257", nullptr}},
    {1258, {"windows-1258", nullptr}},
    {1361, {nullptr, "JOHAB"}},
    {10000, {"macintosh", nullptr}},
    {10001, {"windows-31j", nullptr}},  // Mac Japanese: Shift_JIS with a few Mac symbols
    {10002, {"windows-950", nullptr}},  // Mac Traditional Chinese: Big5-based
    {10003, {"EUC-KR", nullptr}},       // Mac Korean: EUC-KR-based
    {10006, {"x-mac-greek", nullptr}},
    {10007, {"x-mac-cyrillic", nullptr}},
    {10008, {"windows-936", nullptr}},  // Mac Simplified Chinese: GB 2312-based
    {10029, {"x-mac-centraleurroman", nullptr}},
    {10079, {nullptr, "MAC-IS"}},
    {10081, {"x-mac-turkish", nullptr}},
    {20000, {"EUC-TW", nullptr}},       // CNS 11643 in its EUC form
    {20002, {"windows-950", nullptr}},  // Big5 with the ETEN extensions
    {20105, {"US-ASCII", nullptr}},
    {20106, {nullptr, "ISO646-DE"}},
    {20107, {nullptr, "ISO646-SE"}},
    {20108, {nullptr, "ISO646-NO"}},
    {20127, {"US-ASCII", nullptr}},
    {20273, {"ibm-273", nullptr}},
    {20277, {"ibm-277", nullptr}},
    {20278, {"ibm-278", nullptr}},
    {20280, {"ibm-280", nullptr}},
    {20284, {"ibm-284", nullptr}},
    {20285, {"ibm-285", nullptr}},
    {20290, {"ibm-290", nullptr}},
    {20297, {"ibm-297", nullptr}},
    {20420, {"ibm-420", nullptr}},
    {20423, {nullptr, "IBM423"}},
    {20424, {"ibm-424", nullptr}},
    {20838, {"ibm-838", nullptr}},
    {20866, {"KOI8-R", nullptr}},
    {20871, {"ibm-871", nullptr}},
    {20880, {nullptr, "IBM880"}},
    {20905, {nullptr, "IBM905"}},
    {21025, {"ibm-1025", nullptr}},
    {21866, {"KOI8-U", nullptr}},
    {28591, {"ISO-8859-1", nullptr}},
    {28592, {"ISO-8859-2", nullptr}},
    {28593, {"ISO-8859-3", nullptr}},
    {28594, {"ISO-8859-4", nullptr}},
    {28595, {"ISO-8859-5", nullptr}},
    {28596, {"ISO-8859-6", nullptr}},
    {28597, {"ISO-8859-7", nullptr}},
    {28598, {"ISO-8859-8", nullptr}},
    {28599, {"ISO-8859-9", nullptr}},
    {28603, {"ISO-8859-13", nullptr}},
    {28605, {"ISO-8859-15", nullptr}},
    {38598, {"ISO-8859-8", nullptr}},  // logical-order Hebrew: the same bytes as 28598
    {50220, {"ISO-2022-JP", nullptr}},
    {50221, {"x-windows-50221", nullptr}},
    {50225, {"ISO-2022-KR", nullptr}},
    {50930, {"ibm-930", nullptr}},
    {50931, {"ibm-931", nullptr}},  // ICU reads it as IBM 939, its Latin-extended twin
    {50933, {"ibm-933", nullptr}},
    {50935, {"ibm-935", nullptr}},
    {50937, {"ibm-937", nullptr}},
    {50939, {"ibm-939", nullptr}},
    {51932, {"EUC-JP", nullptr}},
    {51936, {"windows-936", nullptr}},
    {51949, {"EUC-KR", nullptr}},
    {52936, {"HZ", nullptr}},
    {54936, {"gb18030", nullptr}},
    {57002, {"ISCII,version=0", nullptr}},
    {57003, {"ISCII,version=1", nullptr}},
    {57004, {"ISCII,version=5", nullptr}},
    {57005, {"ISCII,version=6", nullptr}},
    {57006, {"ISCII,version=1", nullptr}},  // Assamese is written in the Bengali script
    {57007, {"ISCII,version=4", nullptr}},
    {57008, {"ISCII,version=7", nullptr}},
    {57009, {"ISCII,version=8", nullptr}},
    {57010, {"ISCII,version=3", nullptr}},
    {57011, {"ISCII,version=2", nullptr}},
    {65000, {"UTF-7", nullptr}},
    {65001, {"UTF-8", nullptr}},
};

static_assert(std::is_sorted(std::begin(kConverters), std::end(kConverters),
                             [](const CodePageConverter& a, const CodePageConverter& b) {
                               return a.codePage < b.codePage;
                             }),
              "the converter list must stay sorted for the binary search");

}  // namespace

ConverterNames ConverterNamesFor(int codePage) {
  const auto* found = std::lower_bound(
      std::begin(kConverters), std::end(kConverters), codePage,
      [](const CodePageConverter& row, int wanted) { return row.codePage < wanted; });
  if (found == std::end(kConverters) || found->codePage != codePage) return {};
  return found->names;
}

}  // namespace quillon
