// What the name of a header field looks like where other bytes run into it: the bytes a name is
// made of, the names a block may open with, and the words in front of a name that are a part of
// it ("Resent", "X-MS-Exch") or the tail of old text ("x-...-report-", "text/x-ruby-"). Used to
// tell where a glued first line of a header block begins.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillon::shape_names {

// Inline: the rules ask them of every byte of the lines a walk up a header block passes.
inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
inline bool IsUpper(char c) {
  return c >= 'A' && c <= 'Z';
}
inline bool IsLower(char c) {
  return c >= 'a' && c <= 'z';
}
inline bool IsLetter(char c) {
  return IsUpper(c) || IsLower(c);
}
inline bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
inline bool IsNameByte(char c) {
  return c >= 33 && c <= 126 && c != ':';
}

// Whether `lead`, the start of a line's own name in front of a known name, may be a part of a
// field's name: letters, digits and hyphens, and either hyphenated or short, without digits and
// with a capital first.
bool WordOfAName(std::string_view lead);
// Whether the colon at `name` in `text` lies in a list of field names a signature signs
// ("h=From:To:Date"), which names no line. A subject's reply or forward prefix is no name of a
// list ("Subject: Re:" + "From: ...").
bool InAFieldList(std::string_view text, std::size_t name);
// Names a word in front of them does not make another field's: "Return-Path", "Received".
bool IsLongName(std::string_view name);
// A name the scan reads, or one a header block often begins with.
bool IsKnownFieldName(std::string_view name);
// Whether the known long `name` follows `lead`, the cut end of a lower-case hyphenated name
// ("x-exchange-antispam-report-", "x-f").
bool LongNameBehindLowerCase(std::string_view lead, std::string_view name);
// A private field's name: "X-", or "X400-" as a gateway from X.400 mail names its fields
// ("X400-Received"). Private fields open many blocks a mail program wrote.
bool IsPrivateFieldName(std::string_view name);
// Whether the private `name` follows `lead`, a word of a value rather than the start of a name.
bool PrivateNameBehindAWordOfAValue(std::string_view lead, std::string_view name);

// The prefixes mail programs put in front of a reply's or a forward's subject ("Re", "Fwd",
// "AW"...), in the languages they are seen in most.
bool IsReplyPrefix(std::string_view word);

// Whether the known hyphenated or private `name` follows `lead`, the cut start of another,
// non-private hyphenated name that ends inside a word ("Content-Transfer-Enc" + "Return-Path",
// "Content-Descripti" + "X-Gmail-Received").
bool HyphenatedNameBehindACutName(std::string_view lead, std::string_view name);
// Whether the known `name`, its colon on `rest` behind it, follows `lead`, the start of another
// known name cut right behind one of its hyphens ("Content-" + "MIME-Version: 1.0"): the two
// name no field a list here knows, `lead` is no private name's start ("X-Original-" +
// "Message-ID" is a field of its own), and the value is in the field's own grammar, or is one
// address behind a hyphenated name ("Content-" + "Delivered-To: a@b.example").
bool KnownNameBehindACutWord(std::string_view lead, std::string_view name, std::string_view rest);
// Whether `lead` ends in a lower-case word of markup behind a quote, a bracket or a slash
// (`class="message-`): its hyphen joins no words of a field's name.
bool WordOfMarkup(std::string_view lead);
// Whether `lead` holds quote marks and blanks alone, one mark at least ("> > ", ">").
bool QuoteMarksAlone(std::string_view lead);
// Whether `lead` is the start of a known field's name cut inside one of its words ("MIME-Versi"
// of "MIME-Version"): no field is named by a cut known name and another behind it, so a known
// name there ("MIME-Versi" + "From") begins a line of its own.
// `ownGrammar`: the name behind has a value in its own grammar (ValueInItsOwnGrammar), and a cut
// of one or two letters counts too ("Co" + "Date: Mon, 11 Nov 2019 17:04:10 +0100", "C" +
// "Date: ..."): no field's name is a capital and a date line's name.
bool CutKnownName(std::string_view lead, bool ownGrammar = false);
// Whether `lead`, no private name's start, is the start of a known field's name cut right behind
// one of its hyphens ("Content-Transfer-" of "Content-Transfer-Encoding"): a private name's
// "X-" there ("Content-Transfer-" + "X-Envelope-From") begins a line of its own.
bool KnownNameCutAtAHyphen(std::string_view lead);
// Whether the known name at `name` in `text`, behind a colon and a blank, follows the cut line
// of a style sheet or of a lower-case field ("font-size: " + "From: a@b.example") rather than
// standing in a list of names: the word in front is written in lower case with hyphens, and a
// value, not another name, follows the name's colon at `colon`.
bool FieldBehindALowerCaseProperty(std::string_view text, std::size_t name, std::size_t colon);
// Whether `rest`, the text behind the name of a trace line, a return path, a message's id, a date
// or a version line (its colon on), is a value in that field's own grammar, which text that
// merely names the field seldom has: "Received: from x", "Return-Path: <a@b.example>",
// "Date: Fri, 19 Aug 2011 10:47:17 +0900", "MIME-Version: 1.0".
bool ValueInItsOwnGrammar(std::string_view name, std::string_view rest);
// Whether `rest`, a line's text behind a name's colon, is a blank and one address, nothing else.
bool ValueIsOneAddress(std::string_view rest);
// Whether `name` is written the way field names are: words joined by hyphens, the first a
// capital and lower-case letters or digits ("Thread-Index", "Received-SPF", "ARC-Seal", "Lines"),
// or a short acronym before a hyphen; later words may begin in lower case ("Return-path").
bool IsWellFormedName(std::string_view name);
// Where a well-formed name (IsWellFormedName) begins inside `name`, which is none itself: old
// bytes that ran into the name of a field no list here knows ("3ab" + "Thread-Topic"). The
// leftmost such start not behind a hyphen ("Spam-Status" holds no "Status") nor behind a
// capitalised word alone ("ExtLoop1" is one name); 0 for none.
std::size_t WellFormedNameInside(std::string_view name);
// Where a well-formed name begins inside `name`, which is none itself, behind a word that ends in
// a small letter: a word of prose that ran into a field's name ("Letter" + "Approved", "Ca" +
// "Originator"), which WellFormedNameInside takes for one name ("ExtLoop1"). Asked where the
// bytes in front are known to be prose; 0 for none.
std::size_t WellFormedNameBehindAWord(std::string_view name);

// Where a header line whose name no list knows begins inside `text`, the line right above a
// header block (one line, without its line end): a well-formed name (IsWellFormedName) glued
// to old bytes that are no blank ("...the water0Thread-Topic: Plans"), with a colon and a blank
// (or the line's end) behind it, and not in a list of field names. Only right behind other bytes:
// a name behind a blank is prose ("Note: see below"). npos for none.
std::size_t WellFormedFieldGluedInto(std::string_view text);

// Where a header line written in lower case begins inside `text`, the line right above a header
// block (one line, without its line end): some programs write every name in lower case, and old
// bytes run into it as into any other ("...the harbour" + "return-path: <a@b.example>"). Only a
// long known name counts, written in lower case alone, with a value in the field's own grammar
// behind it (ValueInItsOwnGrammar): a word of prose that ends in such a name seldom has one; a
// hyphenated one needs none where other bytes than a blank run into it. The leftmost such start;
// npos for none, and where `text` is itself a line of that field.
std::size_t LowerCaseFieldGluedInto(std::string_view text);

// Whether `line`, a line that is no field line of its own with a field's name beginning at
// `name` inside it, holds in front of the name one word of letters and a blank alone ("quite " +
// "Delivered-To: a@b.example"): a line garbled where it stood, which among field lines is one of
// the block's own rather than old text a mail was glued to (that is cut anywhere in a line).
bool WordInFrontOfAName(std::string_view line, std::size_t name);

// Whether the value of a line named `name` has a grammar that no field's name and colon begin:
// a field the scan reads other than the subject.
bool NameOfAStructuredField(std::string_view name);

}  // namespace quillon::shape_names
