// Where a header line glued to the bytes in front of it begins inside one line of text
// (block_context.h).
#include <algorithm>
#include <string_view>

#include "scan/lines/header_fields.h"
#include "scan/lines/line_reader.h"
#include "scan/shape/block_context.h"
#include "scan/shape/field_names.h"
#include "scan/shape/old_line_fields.h"

namespace quillon {

namespace {

using namespace shape_names;

// Whether the field line `candidate` at `name` in `text` follows an old line that was cut right
// behind the blank after its name ("Content-Transfer-Encoding: " + "Return-Path: <...>"), or
// after a parameter's semicolon: the old field's value has a grammar no field's name and colon
// begin, and the name is a long one. Behind any other old line but one that may say anything (a
// subject, a private field) a line whose value has a grammar of its own ("Remote-Mta: " +
// "Received: from x", "Status: " + "Date: Fri, 19 Aug 2011 10:47:17 +0900") begins there too.
bool LineCutBehindItsBlank(std::string_view text, std::size_t ownName, std::size_t name,
                           std::string_view candidate) {
  if (old_line_fields::FieldBehindAParameterSemicolon(text, ownName, name, candidate)) return true;
  if (ownName == 0 || name != ownName + 2 || text[ownName] != ':') return false;
  const std::string_view own = text.substr(0, ownName);
  // A type, an encoding, a version or a date is a token or a date, never a name and a colon
  // ("Content-Type: " + "X-Account-Key: account3"): a private name there begins a line.
  const auto ownField = FieldNamed(own);
  if ((ownField == HeaderField::ContentType || ownField == HeaderField::TransferEncoding ||
       ownField == HeaderField::MimeVersion || ownField == HeaderField::Date) &&
      IsPrivateFieldName(candidate))
    return true;
  // A short name only with a value in its own grammar: an address field's value may begin with
  // a group's name and colon ("To: Friends: a@b.example;"), never with a date.
  if (NameOfAStructuredField(own))
    return (IsLongName(candidate) && IsKnownFieldName(candidate)) ||
           ValueInItsOwnGrammar(candidate, text.substr(name + candidate.size()));
  return FieldNamed(own) != HeaderField::Subject && !IsPrivateFieldName(own) &&
         !(own.size() > 1 && own[0] == 'x' && own[1] == '-') &&
         ValueInItsOwnGrammar(candidate, text.substr(name + candidate.size()));
}

// Whether the version, trace, return path or id line `candidate`, behind a blank in the value of
// `text`, begins a line all the same: its value is in the field's own grammar, which the value of
// an old line that was cut there does not quote unless it may say anything, as a subject or a
// private field may ("Diagnostic-Code: smtp; 550 Sender " + "MIME-Version: 1.0").
bool VersionOrTraceInAValue(std::string_view text, std::size_t ownName, std::string_view candidate,
                            std::size_t colon) {
  const auto field = FieldNamed(candidate);
  if (field != HeaderField::MimeVersion && field != HeaderField::Received &&
      field != HeaderField::ReturnPath && field != HeaderField::MessageId)
    return false;
  const std::string_view own = text.substr(0, ownName);
  if (FieldNamed(own) == HeaderField::Subject || IsPrivateFieldName(own) ||
      (own.size() > 1 && own[0] == 'x' && own[1] == '-'))
    return false;
  return ValueInItsOwnGrammar(candidate, text.substr(colon));
}

// Whether the trace line or return path `candidate`, its colon on `rest`, follows `lead`, the
// start of a private name cut inside one of its words ("X-Auto-R" + "Return-Path", "X-Enve" +
// "Received"): the lines a delivered mail opens with, in their own grammar, which no private
// name quotes. Behind a hyphen ("X-Original-" + "Return-Path") the two may make one name, and a
// private name may end in another known one ("X-ApMessage-ID").
bool OpeningLineBehindACutPrivateWord(std::string_view lead, std::string_view candidate,
                                      std::string_view rest) {
  const auto field = FieldNamed(candidate);
  return lead.size() > 2 && (lead[0] == 'X' || lead[0] == 'x') && lead[1] == '-' &&
         IsLetter(lead.back()) &&
         (field == HeaderField::Received || field == HeaderField::ReturnPath) &&
         ValueInItsOwnGrammar(candidate, rest);
}

// Whether the private name `candidate` follows `lead`, the start of another private name written
// in lower case throughout and cut inside a word ("x-ms-publictra" + "X-Envelope-From"): a
// name written in small letters has no capital "X-" in it. (A capitalised one may be named
// anyhow: "X-Spam-St" + "X-Gmail-Received" stays one name.)
bool PrivateNameBehindALowerCaseCutName(std::string_view lead, std::string_view candidate) {
  return lead.size() > 2 && lead[0] == 'x' && lead[1] == '-' && IsLower(lead.back()) &&
         std::none_of(lead.begin(), lead.end(), IsUpper) && candidate.size() > 2 &&
         candidate[0] == 'X' && candidate[1] == '-' && IsPrivateFieldName(candidate);
}

// Whether `lead`, the bytes of a name in front of a known or private one, ends in the start of
// a private name whose words an underscore joins, as a filter writes its fields ("X_Original_" +
// "Sender", "X-Spam_" + "Report"), old bytes run into it or not: the two are one name. Old
// bytes seldom end in a private name's start and an underscore.
bool PrivateNameJoinedByUnderscore(std::string_view lead) {
  if (lead.size() < 4 || lead.back() != '_') return false;
  for (std::size_t x = 0; x + 3 < lead.size(); ++x) {
    if (lead[x] == 'X' && (lead[x + 1] == '-' || lead[x + 1] == '_') && IsLetter(lead[x + 2]))
      return true;
  }
  return false;
}

}  // namespace

std::size_t FieldBehindALoneDash(std::string_view line, char below) {
  if (line.size() < 3 || line[0] != '-' || !IsUpper(line[1]) || !IsLetter(below))
    return std::string_view::npos;
  const std::string_view field = line.substr(1);
  const std::size_t nameLength = HeaderNameLength(field);
  if (nameLength == 0) return std::string_view::npos;
  const std::string_view name = field.substr(0, nameLength);
  return IsKnownFieldName(name) || IsPrivateFieldName(name) ? 1 : std::string_view::npos;
}

std::size_t GluedFieldStart(std::string_view text) {
  std::size_t ownName = std::string_view::npos;  // worked out for the first colon that may tell
  std::size_t quoted = std::string_view::npos;   // a name behind quote marks alone
  for (std::size_t colon = text.find(':'); colon != std::string_view::npos;
       colon = text.find(':', colon + 1)) {
    if (colon + 1 < text.size() && text[colon + 1] != ' ' && text[colon + 1] != '\t') continue;
    std::size_t run = colon;
    bool capital = false;  // only one behind the line's first byte may begin a glued name
    while (run > 0 && IsNameByte(text[run - 1])) {
      --run;
      capital = capital || (run > 0 && IsUpper(text[run]));
    }
    if (!capital) continue;
    if (ownName == std::string_view::npos) ownName = HeaderNameLength(text);
    // Inside a header line's value only a name right behind other bytes is glued: one behind a
    // blank is text the value quotes.
    // A fold is a value too: " Mime-Version: Date:" goes on a list of names from the line above.
    const bool inValue = (ownName > 0 && colon > ownName) || IsContinuation(text);
    // The line's own name is no glued one ("X-MS-ExchTo" holds a glued "To", "X-Mailer" none).
    std::size_t known = std::string_view::npos;
    std::size_t privateField = std::string_view::npos;
    for (std::size_t name = run; name < colon && known == std::string_view::npos; ++name) {
      if (text[name] < 'A' || text[name] > 'Z') continue;
      // Only a known or private name is glued: the rules below need not judge any other.
      const std::string_view candidate = text.substr(name, colon - name);
      const bool privateName = IsPrivateFieldName(candidate);
      const bool knownName = IsKnownFieldName(candidate);
      if (!knownName && !privateName) continue;
      // A hyphen behind a letter or digit joins words of a name; a run of dashes ("-----" of a
      // boundary line) joins none, nor do digits and hyphens alone ("2008-05-" of a log line's
      // date), which begin no name.
      if (name > 1 && text[name - 1] == '-' &&
          (IsLetter(text[name - 2]) || IsDigit(text[name - 2])) &&
          std::any_of(text.begin() + run, text.begin() + name, IsLetter) &&
          !LongNameBehindLowerCase(text.substr(run, name - run), text.substr(name, colon - name)) &&
          !(inValue && PrivateNameBehindAWordOfAValue(text.substr(run, name - run),
                                                      text.substr(name, colon - name))) &&
          !KnownNameBehindACutWord(text.substr(run, name - run), text.substr(name, colon - name),
                                   text.substr(colon)) &&
          !(privateName && candidate[0] == 'X' && candidate[1] == '-' &&
            KnownNameCutAtAHyphen(text.substr(run, name - run))) &&
          !WordOfMarkup(text.substr(run, name - run)))
        continue;
      if (name == 1 && text[0] == '-') continue;
      if (PrivateNameJoinedByUnderscore(text.substr(run, name - run))) continue;
      if (inValue && (name == 0 || IsBlank(text[name - 1])) &&
          !LineCutBehindItsBlank(text, ownName, name, candidate) &&
          !VersionOrTraceInAValue(text, ownName, candidate, colon))
        continue;
      // A list's last name has no value behind it, least of all one in the field's own grammar
      // ("h=MIME-Version: Message-Id:" + "MIME-Version: 1.0").
      if (InAFieldList(text, name) &&
          !(knownName && (FieldBehindALowerCaseProperty(text, name, colon) ||
                          ValueInItsOwnGrammar(candidate, text.substr(colon)))))
        continue;
      // Inside the line's own name only behind bytes no name is made of ("<br>", base64's "+"):
      // "ResentFrom" or "X-MS-ExchTo" may be a field of its own. A long or private name behind
      // a word without a hyphen is glued all the same: no field is called "TablMIME-Version".
      if (!inValue && name > 0 && name < ownName && WordOfAName(text.substr(0, name)) &&
          !((knownName ? IsLongName(candidate) : IsPrivateFieldName(candidate)) &&
            text.substr(0, name).find('-') == std::string_view::npos) &&
          !LongNameBehindLowerCase(text.substr(0, name), candidate) &&
          !HyphenatedNameBehindACutName(text.substr(0, name), candidate) &&
          !OpeningLineBehindACutPrivateWord(text.substr(0, name), candidate, text.substr(colon)) &&
          !PrivateNameBehindALowerCaseCutName(text.substr(0, name), candidate) &&
          !(privateName && candidate[0] == 'X' && candidate[1] == '-' &&
            KnownNameCutAtAHyphen(text.substr(0, name))) &&
          !(knownName && CutKnownName(text.substr(0, name),
                                      ValueInItsOwnGrammar(candidate, text.substr(colon)))) &&
          !KnownNameBehindACutWord(text.substr(0, name), candidate, text.substr(colon)))
        continue;
      if (knownName) known = name;
      if (privateField == std::string_view::npos && privateName) privateField = name;
    }
    std::size_t glued = known;
    if (known == std::string_view::npos) glued = privateField;
    if (glued == std::string_view::npos || glued == 0) continue;
    // A name behind nothing but quote marks is a quoted line's own ("> > From: a.gr"): one glued
    // further on in the same line ("...a.gr" + "From: ...") is the block's.
    if (!QuoteMarksAlone(text.substr(0, glued))) return glued;
    if (quoted == std::string_view::npos) quoted = glued;
  }
  return quoted;
}

}  // namespace quillon
