// Names no list knows, told by their shape: where a well-formed name begins inside a run of
// name bytes, and where a field so named, or one written in lower case, is glued into the line
// above a header block (field_names.h).
#include <algorithm>
#include <string_view>

#include "scan/lines/line_reader.h"
#include "scan/shape/field_names.h"
#include "text/ascii.h"

namespace quillon::shape_names {

namespace {

// Whether every capital inside `word` has a small letter on each side: a capital that begins a
// word of its own ("NonDelivery"), no acronym run on ("NonDELivery").
bool CapitalsStandAlone(std::string_view word) {
  for (std::size_t k = 1; k < word.size(); ++k) {
    if (IsUpper(word[k]) &&
        (!IsLower(word[k - 1]) || k + 1 == word.size() || !IsLower(word[k + 1])))
      return false;
  }
  return true;
}

}  // namespace

bool IsWellFormedName(std::string_view name) {
  // Acronyms stand as words of a hyphenated name ("ARC-Seal", "Message-ID"); a longer run of
  // capitals, or one alone, is no name.
  constexpr std::size_t kLongestAcronym = 6;
  constexpr std::size_t kShortestName = 3;
  if (name.size() < kShortestName || !IsUpper(name.front())) return false;
  const bool hyphenated = name.find('-') != std::string_view::npos;
  std::size_t word = 0;
  while (true) {
    std::size_t end = name.find('-', word);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view text = name.substr(word, end - word);
    if (text.empty()) return false;
    const bool acronym =
        hyphenated && text.size() <= kLongestAcronym &&
        std::all_of(text.begin(), text.end(), [](char c) { return IsUpper(c) || IsDigit(c); }) &&
        (text.size() > 1 || end < name.size());
    // Later words may begin in lower case ("Return-path"), or join two words of their own by
    // a capital ("Prevent-NonDelivery-Report"); the first one does not ("LetterApproved" is a
    // word of prose run into a name).
    const bool opens = word == 0 ? IsUpper(text.front()) : IsLetter(text.front());
    const bool lowerTail =
        std::all_of(text.begin() + 1, text.end(),
                    [&](char c) { return IsLower(c) || IsDigit(c) || (word > 0 && IsUpper(c)); }) &&
        (word == 0 || CapitalsStandAlone(text));
    if (!acronym && !(opens && lowerTail && text.size() > 1)) return false;
    if (end == name.size()) return true;
    word = end + 1;
  }
}

std::size_t WellFormedNameInside(std::string_view name) {
  if (IsWellFormedName(name)) return 0;
  // A capitalised word in front makes one name with what follows ("Ext" + "Loop1" of
  // "X-ExtLoop1" cut behind its hyphen): names are written that way too.
  // A capital alone is no word ("S" + "Priority" is a stray byte's).
  const auto capitalisedWord = [&](std::size_t k) {
    return k > 1 && IsUpper(name[0]) && std::all_of(name.begin() + 1, name.begin() + k, IsLower);
  };
  // An underscore joins the words of a name as a hyphen does ("X_Mailer_Info"); a run of them
  // is a rule of old text ("_____" + "Approved").
  const auto joinedByUnderscore = [&](std::size_t k) {
    return name[k - 1] == '_' && k > 1 && (IsLetter(name[k - 2]) || IsDigit(name[k - 2]));
  };
  // A hyphen joins words of a name, but not behind a date's digits ("2008-" + "Errors-To").
  const auto joinedByHyphen = [&](std::size_t k) {
    return name[k - 1] == '-' && !std::all_of(name.begin(), name.begin() + k,
                                              [](char c) { return IsDigit(c) || c == '-'; });
  };
  for (std::size_t k = 1; k + 2 < name.size(); ++k) {
    if (!IsUpper(name[k]) || joinedByHyphen(k) || joinedByUnderscore(k) || capitalisedWord(k))
      continue;
    // Inside a run of capitals the name begins at the run's first ("Copp" + "ARC-Seal" holds
    // no "RC-Seal").
    if (IsUpper(name[k - 1]) && IsWellFormedName(name.substr(k - 1))) continue;
    if (IsWellFormedName(name.substr(k))) return k;
  }
  return 0;
}

std::size_t WellFormedNameBehindAWord(std::string_view name) {
  for (std::size_t k = 1; k + 2 < name.size(); ++k) {
    if (IsUpper(name[k]) && IsLower(name[k - 1]) && IsWellFormedName(name.substr(k))) return k;
  }
  return 0;
}

namespace {

// Whether `value`, a line's text behind a colon, is one token or tokens that a semicolon or a
// comma parts ("normal", "a@b.example", "addr=a@b.example; keydata=mQENB"), as structured
// fields write theirs and a sentence seldom does.
bool ValueOfTokens(std::string_view value) {
  const std::string_view trimmed = TrimWhiteSpace(value);
  if (trimmed.empty()) return false;
  for (std::size_t blank = trimmed.find_first_of(" \t"); blank != std::string_view::npos;
       blank = trimmed.find_first_of(" \t", blank + 1)) {
    if (trimmed[blank - 1] != ';' && trimmed[blank - 1] != ',' && !IsBlank(trimmed[blank - 1]))
      return false;
  }
  return true;
}

// Whether the well-formed `name` at `run` in `text`, its colon at `colon`, behind a blank, is a
// field's name glued to the line of prose in front of it rather than a word of that prose that
// a colon follows: the name joins capitalised words by hyphens ("Thread-Topic", "PICS-Label"),
// as prose seldom writes a word before a colon, or is one word with a value of tokens behind it
// ("Priority: normal"; "Note: see below" is prose); and the line holds more than quote marks in
// front of it ("> " + "Thread-Topic:" is a quoted line of its own).
bool NameBehindProse(std::string_view text, std::size_t run, std::string_view name,
                     std::size_t colon) {
  constexpr std::size_t kShortestFirstWord = 2;
  if (!IsWellFormedName(name) || IsReplyPrefix(name)) return false;
  const std::size_t hyphen = name.find('-');
  if (hyphen == std::string_view::npos ? !ValueOfTokens(text.substr(colon + 1))
                                       : hyphen < kShortestFirstWord)
    return false;
  const std::string_view lead = text.substr(0, run);
  return lead.find_first_not_of(" \t") != std::string_view::npos && !QuoteMarksAlone(lead);
}

}  // namespace

std::size_t WellFormedFieldGluedInto(std::string_view text) {
  for (std::size_t colon = text.find(':'); colon != std::string_view::npos;
       colon = text.find(':', colon + 1)) {
    if (colon + 1 < text.size() && text[colon + 1] != ' ' && text[colon + 1] != '\t') continue;
    std::size_t run = colon;
    while (run > 0 && IsNameByte(text[run - 1])) --run;
    if (run == colon) continue;
    const std::string_view name = text.substr(run, colon - run);
    // A whole name counts behind bytes no name is made of, but a blank: a name behind a blank
    // is the line's own text, unless it is written as prose writes no word.
    const bool behindABlank = run > 0 && IsBlank(text[run - 1]);
    std::size_t inside = WellFormedNameInside(name);
    if (inside == 0 && behindABlank && !IsWellFormedName(name))
      inside = WellFormedNameBehindAWord(name);
    if (inside == 0 && !(run > 0 && IsWellFormedName(name) &&
                         (!behindABlank || NameBehindProse(text, run, name, colon))))
      continue;
    // Known and private names have rules of their own (GluedFieldStart).
    const std::string_view glued = name.substr(inside);
    if (IsKnownFieldName(glued) || IsPrivateFieldName(glued)) continue;
    if (InAFieldList(text, run + inside)) continue;
    return run + inside;
  }
  return std::string_view::npos;
}

std::size_t LowerCaseFieldGluedInto(std::string_view text) {
  for (std::size_t colon = text.find(':'); colon != std::string_view::npos;
       colon = text.find(':', colon + 1)) {
    // A name with no blank behind its colon is one of a signature's list ("h=date:in-reply-to:").
    if (colon + 1 >= text.size() || !IsBlank(text[colon + 1])) continue;
    // Walked back from the colon, so that a capital ends the names written in lower case alone;
    // the longest name counts: "x-original-to" holds a "to" of its own.
    std::size_t longest = std::string_view::npos;
    for (std::size_t name = colon; name > 1 && IsNameByte(text[name - 1]);) {
      --name;
      if (IsUpper(text[name])) break;
      if (!IsLower(text[name])) continue;
      const std::string_view candidate = text.substr(name, colon - name);
      if (!IsLongName(candidate) || !IsKnownFieldName(candidate)) continue;
      // A word in front that goes on with a hyphen is a part of a longer name; one behind a
      // colon stands in a list of names.
      if (text[name - 1] == '-' || text[name - 1] == ':' || InAFieldList(text, name)) continue;
      // Prose that names a field puts a blank in front of it; a hyphenated name run into the
      // bytes in front ("...harbourdelivered-to: a@b.example") is a line of its own.
      const bool runInto =
          !IsBlank(text[name - 1]) && candidate.find('-') != std::string_view::npos;
      if (runInto || ValueInItsOwnGrammar(candidate, text.substr(colon))) longest = name;
    }
    if (longest != std::string_view::npos) return longest;
  }
  return std::string_view::npos;
}

}  // namespace quillon::shape_names
