// Simple case folding, as file names on case-blind file systems and the searches of found mails
// compare texts: one character to one, the same number of UTF-16 units, surrogates kept whole.
#include "text/case_folding.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

struct FoldRow {
  const char* name;
  std::u16string text;
  std::u16string folded;
};

class CaseFolding : public ::testing::TestWithParam<FoldRow> {};

TEST_P(CaseFolding, FoldsEachCharacterOnItsOwn) {
  const FoldRow& row = GetParam();
  EXPECT_EQ(FoldCase(row.text), row.folded);
  // Appending keeps what was there, and a position in the text is the same in the fold.
  std::u16string out = u"kept";
  AppendFoldedCase(row.text, out);
  EXPECT_EQ(out, u"kept" + row.folded);
  EXPECT_EQ(row.folded.size(), row.text.size());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CaseFolding,
    ::testing::Values(FoldRow{"Empty", u"", u""},
                      FoldRow{"Ascii", u"Re: INVOICE 42", u"re: invoice 42"},
                      FoldRow{"Latin1", u"\u00C9\u00C0\u00D6\u00DE", u"\u00E9\u00E0\u00F6\u00FE"},
                      FoldRow{"SharpSStaysOneLetter", u"STRA\u00DFE", u"stra\u00DFe"},
                      FoldRow{"CapitalSharpS", u"\u1E9E", u"\u00DF"},
                      FoldRow{"Cyrillic", u"\u041A\u0410\u0417\u0410\u041D\u042C",
                              u"\u043A\u0430\u0437\u0430\u043D\u044C"},
                      FoldRow{"GreekFinalSigma", u"\u03C2\u03A3", u"\u03C3\u03C3"},
                      FoldRow{"KelvinAndAngstromSigns", u"\u212A\u212B", u"k\u00E5"},
                      FoldRow{"CjkHasNoCase", u"\u5B63\u5EA6", u"\u5B63\u5EA6"},
                      FoldRow{"DeseretPair", u"a\U00010400b", u"a\U00010428b"},
                      FoldRow{"AdlamPairAtTheEnd", u"\U0001E900", u"\U0001E922"},
                      FoldRow{"LoneLeadSurrogateAtTheEnd", std::u16string(u"A") + u'\xD801',
                              std::u16string(u"a") + u'\xD801'},
                      FoldRow{"LoneTrailSurrogate", std::u16string(1, u'\xDC00') + u"B",
                              std::u16string(1, u'\xDC00') + u"b"},
                      FoldRow{"LeadBeforeALetter", std::u16string(1, u'\xD801') + u"Q",
                              std::u16string(1, u'\xD801') + u"q"}),
    RowName{});

}  // namespace
}  // namespace quillon
