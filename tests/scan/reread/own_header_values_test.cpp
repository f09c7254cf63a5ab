// What a mail's own header block says about its body, however its parameters are written.
#include "scan/reread/own_header_values.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace quillon::mail_reader {
namespace {

struct HeaderRow {
  const char* name;
  std::string header;  // the header block, up to its empty line
  std::string boundary;
  bool html;
};

void PrintTo(const HeaderRow& row, std::ostream* out) {
  *out << row.name;
}

class OwnHeaderValuesTest : public testing::TestWithParam<HeaderRow> {};

TEST_P(OwnHeaderValuesTest, ReadsTheBodysContentType) {
  EXPECT_EQ(MultipartBoundaryOf(GetParam().header), GetParam().boundary);
  EXPECT_EQ(DeclaresHtmlText(GetParam().header), GetParam().html);
}

INSTANTIATE_TEST_SUITE_P(
    ContentType, OwnHeaderValuesTest,
    testing::Values(
        HeaderRow{"Plain", "From: a@x\r\nContent-Type: multipart/mixed; boundary=b\r\n", "b",
                  false},
        // RFC 5322 2.2.3: a fold may stand wherever white space may.
        HeaderRow{"ValueBehindAFold",
                  "Content-Type: multipart/signed; boundary=\r\n \"---=_=_ 6592 _=_=---\"; x=y\r\n",
                  "---=_=_ 6592 _=_=---", false},
        HeaderRow{"BlanksAroundTheEqualsSign",
                  "Content-Type: multipart/alternative; boundary = nextPart\r\n", "nextPart",
                  false},
        HeaderRow{"FoldedParameters",
                  "Content-Type: multipart/report;\r\n\t\treport-type=delivery-status;\r\n"
                  "\t\tBoundary=\"== _ 1(2)3\"\r\nX-Other: boundary=no\r\n",
                  "== _ 1(2)3", false},
        HeaderRow{"LineFeedLines", "Content-Type: multipart/mixed;\n boundary=\"lf\"\n", "lf",
                  false},
        HeaderRow{"NotAMultipart", "Content-Type: text/plain; boundary=b\r\n", "", false},
        HeaderRow{"HtmlText", "Content-type:  TEXT/HTML; charset=x\r\n", "", true},
        // Only the first Content-Type field counts, and only in the header block.
        HeaderRow{"FirstFieldOnly",
                  "Content-Type: text/html\r\nContent-Type: multipart/mixed; boundary=b\r\n", "",
                  true},
        HeaderRow{"NothingBehindTheEmptyLine",
                  "From: a@x\r\n\r\nContent-Type: multipart/mixed; boundary=b\r\n", "", false},
        HeaderRow{"NoContentType", "From: a@x\r\n", "", false}),
    [](const testing::TestParamInfo<HeaderRow>& row) { return row.param.name; });

struct SinglePartRow {
  const char* name;
  std::string contentType;  // as the scan keeps it, its boundary parameter taken out
  bool singlePart;
};

void PrintTo(const SinglePartRow& row, std::ostream* out) {
  *out << row.name;
}

class SinglePartTest : public testing::TestWithParam<SinglePartRow> {};

TEST_P(SinglePartTest, TellsATypeABoundaryPartsNothingIn) {
  EXPECT_EQ(NamesSinglePart(GetParam().contentType), GetParam().singlePart);
}

INSTANTIATE_TEST_SUITE_P(
    ContentType, SinglePartTest,
    testing::Values(SinglePartRow{"HtmlText", " text/html;", true},
                    SinglePartRow{"PlainTextInCapitals", "TEXT/PLAIN; charset=us-ascii", true},
                    SinglePartRow{"Attachment", "application/zip; name=\"a.zip\"", true},
                    SinglePartRow{"Multipart", "multipart/mixed;", false},
                    SinglePartRow{"MultipartInCapitals", "\tMultipart/Alternative", false},
                    // Nothing tells what the parameter was for: it is kept.
                    SinglePartRow{"NoType", "", false}, SinglePartRow{"OnlyBlanks", "  ;", false}),
    [](const testing::TestParamInfo<SinglePartRow>& row) { return row.param.name; });

struct AnswerRow {
  const char* name;
  std::string header;       // the mail's own header block
  std::string otherHeader;  // the header block of a mail quoted in its text
  bool answers;
};

void PrintTo(const AnswerRow& row, std::ostream* out) {
  *out << row.name;
}

class AnswersMailTest : public testing::TestWithParam<AnswerRow> {};

TEST_P(AnswersMailTest, TellsTheMailAnswered) {
  EXPECT_EQ(AnswersMail(GetParam().header, GetParam().otherHeader), GetParam().answers);
}

INSTANTIATE_TEST_SUITE_P(
    MessageIds, AnswersMailTest,
    testing::Values(
        AnswerRow{"InReplyTo", "From: a@x\r\nIn-Reply-To: <1.2@x>\r\n",
                  "From: b@y\r\nMessage-ID: <1.2@x>\r\n", true},
        AnswerRow{"InReferences", "References: <0@x>\r\n <1.2@x>\r\nFrom: a@x\r\n",
                  "message-id:<1.2@x>\r\n", true},
        AnswerRow{"AnotherMail", "In-Reply-To: <1.2@x>\r\n", "Message-ID: <1.3@x>\r\n", false},
        // A prefix of another identifier is no match: the brackets belong to it.
        AnswerRow{"APrefixOfTheId", "In-Reply-To: <1.23@x>\r\n", "Message-ID: <1.2@x>\r\n", false},
        AnswerRow{"NoMessageId", "In-Reply-To: <1.2@x>\r\n", "From: b@y\r\n", false},
        AnswerRow{"AnIdWithoutAnAt", "In-Reply-To: <12>\r\n", "Message-ID: <12>\r\n", false},
        AnswerRow{"NoAnswerFields", "From: a@x\r\nSubject: <1.2@x>\r\n", "Message-ID: <1.2@x>\r\n",
                  false},
        // Only the header blocks count, not a body behind them.
        AnswerRow{"AnIdInTheBody", "From: a@x\r\n\r\nIn-Reply-To: <1.2@x>\r\n",
                  "Message-ID: <1.2@x>\r\n", false}),
    [](const testing::TestParamInfo<AnswerRow>& row) { return row.param.name; });

struct IntroductionRow {
  const char* name;
  std::string before;  // the bytes in front of a header block
  bool introduces;
};

void PrintTo(const IntroductionRow& row, std::ostream* out) {
  *out << row.name;
}

class QuotedMailTest : public testing::TestWithParam<IntroductionRow> {};

TEST_P(QuotedMailTest, TellsAHeaderBlockQuotedInText) {
  EXPECT_EQ(EndsIntroducingQuotedMail(GetParam().before), GetParam().introduces);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, QuotedMailTest,
    testing::Values(
        IntroductionRow{"ForwardedMessage",
                        "see below\r\n---------- Forwarded message ----------\r\n", true},
        IntroductionRow{"OriginalMessage", "Hi\r\n-----Original Message-----\r\n", true},
        IntroductionRow{"BeginForwardedWithAnEmptyLine", "x\nBegin forwarded message:\n\n", true},
        IntroductionRow{"LowerCase", "x\r\n--- forwarded message ---\r\n", true},
        IntroductionRow{"TwoEmptyLinesBetween", "x\r\n-----Original Message-----\r\n\r\n\r\n",
                        false},
        IntroductionRow{"TextTalkingAboutAForward",
                        "x\r\nI read the forwarded message you sent me last week and I think we "
                        "should talk about it before the meeting\r\n",
                        false},
        IntroductionRow{"AnotherMailsEnd", "x\r\nthanks, Ann\r\n\r\n", false},
        IntroductionRow{"NoLineBreakInFront", "-----Original Message-----", false}),
    [](const testing::TestParamInfo<IntroductionRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon::mail_reader
