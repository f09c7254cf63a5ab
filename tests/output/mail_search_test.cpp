// The match test shared by the window's Find and `quillon scan --find`: which fields are
// searched, how they are joined, and letter case in every script.
#include "output/mail_search.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "scan/found_mails.h"
#include "support/paths.h"
#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

MailRecordPtr Mail(std::u16string subject, std::u16string from, std::u16string to,
                   std::u16string content) {
  auto record = std::make_shared<MailRecord>();
  record->SetSubjectText(std::move(subject));
  record->SetFromText(std::move(from));
  record->SetToText(std::move(to));
  MailBody body;
  body.contentText = std::move(content);
  body.closed = true;
  record->PublishBody(std::move(body));
  return record;
}

// `fields`: s subject, f sender, t recipients, c content.
FindSettings Settings(std::u16string text, std::string_view fields) {
  FindSettings settings;
  settings.text = std::move(text);
  settings.subject = fields.find('s') != std::string_view::npos;
  settings.sender = fields.find('f') != std::string_view::npos;
  settings.recipients = fields.find('t') != std::string_view::npos;
  settings.content = fields.find('c') != std::string_view::npos;
  return settings;
}

const MailRecordPtr& Sample() {
  static const MailRecordPtr mail =
      Mail(u"Abc Harbour Caf\u00E9 \u041A\u0430\u0437\u0430\u043D\u044C Stra\u00DFe \U00010428",
           u"nora@example.org", u"paul@example.net \u03BF\u03B4\u03BF\u03C2",
           u"The TIDE TABLE is attached. \u0442\u0435\u0430\u0442\u0440 \u00C5ngstr\u00F6m");
  return mail;
}

struct MatchRow {
  const char* name;
  std::u16string text;
  std::string_view fields;
  bool matches;
};

class MailSearchMatches : public ::testing::TestWithParam<MatchRow> {};

TEST_P(MailSearchMatches, AsTheWindowAndTheCommandLineBothDo) {
  const MatchRow& row = GetParam();
  EXPECT_EQ(MailMatches(*Sample(), Settings(row.text, row.fields)), row.matches);
  // Spanning two fields goes through the joined text: the same answer either way.
  EXPECT_EQ(MailMatcher(Settings(row.text, row.fields)).Matches(*Sample()), row.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MailSearchMatches,
    ::testing::Values(
        MatchRow{"UpperFindsLower", u"ABC", "s", true},
        MatchRow{"LowerFindsMixed", u"harbour", "s", true},
        MatchRow{"AccentedCapitalFindsLowerCase", u"CAF\u00C9", "s", true},
        MatchRow{"CyrillicLowerFindsCapital", u"\u043A\u0430\u0437\u0430\u043D\u044C", "s", true},
        MatchRow{"CyrillicCapitalsFindLower", u"\u0422\u0415\u0410\u0422\u0420", "c", true},
        MatchRow{"GreekFinalSigmaFoldsWithCapital", u"\u039F\u0394\u039F\u03A3", "t", true},
        MatchRow{"AngstromSignFindsRingA", u"\u212Bngstr\u00D6m", "c", true},
        MatchRow{"LetterBeyondTheBmpFoldsToo", u"\U00010400", "s", true},
        // Simple folding maps one character to one: "SS" is not "ß".
        MatchRow{"SharpSIsNotTwoLetters", u"STRASSE", "s", false},
        MatchRow{"CapitalSharpSFindsSharpS", u"STRA\u1E9EE", "s", true},
        MatchRow{"LatinLettersAreNotCyrillicOnes", u"KAZAN", "s", false},
        MatchRow{"SenderOnly", u"NORA", "f", true},
        MatchRow{"SenderNotTicked", u"nora", "stc", false},
        MatchRow{"Recipient", u"Paul@", "t", true}, MatchRow{"Content", u"tide table", "c", true},
        MatchRow{"ContentNotTicked", u"tide", "sft", false},
        MatchRow{"SpansSenderAndRecipients", u"ORG|PAUL", "ft", true},
        MatchRow{"SpansSubjectAndContent", u"\U00010428|THE TIDE", "sc", true},
        MatchRow{"NoSpanOverAFieldNotTicked", u"org|paul", "fc", false},
        MatchRow{"SeparatorAfterATickedField", u"|", "s", true},
        MatchRow{"SeparatorNeverEndsTheContent", u"attached|", "c", false},
        MatchRow{"NoFieldTicked", u"abc", "", false},
        MatchRow{"AbsentText", u"lighthouse", "sftc", false},
        MatchRow{"TextLongerThanEveryField", std::u16string(200, u'a'), "sftc", false}),
    RowName{});

struct HaystackRow {
  const char* name;
  std::string_view fields;
  std::u16string haystack;
};

class MailSearchHaystack : public ::testing::TestWithParam<HaystackRow> {};

TEST_P(MailSearchHaystack, JoinsTheTickedFieldsInOrder) {
  const MailRecordPtr mail = Mail(u"Subj", u"From", u"To", u"Body");
  EXPECT_EQ(FindHaystack(*mail, Settings(u"x", GetParam().fields)), GetParam().haystack);
}

INSTANTIATE_TEST_SUITE_P(Rows, MailSearchHaystack,
                         ::testing::Values(HaystackRow{"All", "sftc", u"Subj|From|To|Body"},
                                           HaystackRow{"Subject", "s", u"Subj|"},
                                           HaystackRow{"Recipients", "t", u"To|"},
                                           HaystackRow{"Content", "c", u"Body"},
                                           HaystackRow{"SubjectAndContent", "cs", u"Subj|Body"},
                                           HaystackRow{"None", "", u""}),
                         RowName{});

// One matcher runs over a whole list: what it folded for a long mail must not linger into the
// test of the next, shorter one.
TEST(MailMatcher, ForgetsTheMailBefore) {
  MailMatcher matcher(Settings(u"needle", "s"));
  const MailRecordPtr holds = Mail(u"a long subject with the NEEDLE in it", u"", u"", u"");
  const MailRecordPtr lacks = Mail(u"needl", u"", u"", u"");
  const MailRecordPtr empty = Mail(u"", u"", u"", u"");
  EXPECT_TRUE(matcher.Matches(*holds));
  EXPECT_FALSE(matcher.Matches(*lacks));
  EXPECT_FALSE(matcher.Matches(*empty));
  EXPECT_TRUE(matcher.Matches(*holds));
}

enum class TextsIn { Record, ScratchFile, Memory };

struct KeptContentRow {
  const char* name;
  TextsIn texts;
};

class MailSearchKeptContent : public ::testing::TestWithParam<KeptContentRow> {};

// The found-mail list keeps the texts away from the records; the matcher reads one mail's text
// after another into one string, and a longer text before must not lend a shorter one its tail.
TEST_P(MailSearchKeptContent, FindsWhatEachMailSaysAndNoMore) {
  test::TemporaryDirectory directory;
  FoundMails list(GetParam().texts == TextsIn::Memory ? std::filesystem::path() : directory.path());
  const std::u16string tail = u" and then the harbour master said so";
  const MailRecordPtr mails[] = {Mail(u"", u"", u"", u"Nothing here" + tail),
                                 Mail(u"", u"", u"", u"Nothing"), Mail(u"", u"", u"", u""),
                                 Mail(u"", u"", u"", u"The HARBOUR Master")};
  if (GetParam().texts != TextsIn::Record)
    for (const MailRecordPtr& mail : mails) list.Add(mail);
  MailMatcher matcher(Settings(u"harbour master", "c"));
  MailMatcher tailMatcher(Settings(u"nothing and", "c"));
  const bool expected[] = {true, false, false, true};
  for (int round = 0; round < 2; ++round) {
    for (std::size_t index = 0; index < std::size(mails); ++index) {
      EXPECT_EQ(matcher.Matches(*mails[index]), expected[index]) << "mail " << index;
      EXPECT_FALSE(tailMatcher.Matches(*mails[index])) << "mail " << index;
    }
  }
  EXPECT_EQ(FindHaystack(*mails[1], Settings(u"x", "c")), u"Nothing");
}

INSTANTIATE_TEST_SUITE_P(Rows, MailSearchKeptContent,
                         ::testing::Values(KeptContentRow{"InTheRecord", TextsIn::Record},
                                           KeptContentRow{"InAScratchFile", TextsIn::ScratchFile},
                                           KeptContentRow{"InMemory", TextsIn::Memory}),
                         RowName{});

struct BodyBytesRow {
  const char* name;
  std::string charset;
  bool isHtml;
  std::string body;
  std::u16string text;
  bool matches;
};

class MailSearchBodyBytes : public ::testing::TestWithParam<BodyBytesRow> {};

// Bodies kept as their bytes, as a scan keeps them: a search for ASCII text may read the bytes
// themselves, a search for any other text reads the converted text, and both find what the
// mail says in its own charset, one mail after another through the same matcher.
TEST_P(MailSearchBodyBytes, FindsWhatTheConvertedTextSays) {
  const BodyBytesRow& row = GetParam();
  test::TemporaryDirectory directory;
  FoundMails list(directory.path());
  auto record = std::make_shared<MailRecord>();
  MailBody body;
  body.bodyText = row.body;
  body.contentFromBodyText = true;
  body.textCharset = row.charset;
  body.textIsHtml = row.isHtml;
  body.ansiCodePage = 1252;
  body.closed = true;
  record->PublishBody(std::move(body));
  list.Add(record);
  const MailRecordPtr other = Mail(u"", u"", u"", u"Something else entirely, and longer");
  MailMatcher matcher(Settings(row.text, "c"));
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(matcher.Matches(*record), row.matches);
    EXPECT_FALSE(matcher.Matches(*other));
  }
  EXPECT_EQ(MailMatches(*record, Settings(row.text, "sc")), row.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MailSearchBodyBytes,
    ::testing::Values(
        BodyBytesRow{"Utf8", "utf-8", false, "The Harbour MASTER", u"harbour master", true},
        BodyBytesRow{"Utf8Absent", "utf-8", false, "The Harbour", u"lighthouse", false},
        BodyBytesRow{"Utf8AccentedNeedle", "utf-8", false, "CAF\xC3\x89", u"caf\u00E9", true},
        BodyBytesRow{"KelvinSignFoldsToK", "utf-8", false,
                     "\xE2\x84\xAA"
                     "azan",
                     u"KAZAN", true},
        BodyBytesRow{"Latin1ByteIsNoLetter", "iso-8859-1", false, "caf\xE9", u"cafe", false},
        BodyBytesRow{"Latin1AccentedNeedle", "iso-8859-1", false, "CAF\xC9", u"caf\u00E9", true},
        BodyBytesRow{"HtmlTagsDropped", "utf-8", true, "<p>Tide <b>table</b></p>", u"TIDE TABLE",
                     true},
        BodyBytesRow{"HtmlTagNotContent", "utf-8", true, "<p>Tide</p>", u"<p>", false},
        BodyBytesRow{"ShiftJisTrailByteIsNoBackslash", "shift_jis", false, "\x83\x5C", u"\\",
                     false}),
    RowName{});

}  // namespace
}  // namespace quillon
