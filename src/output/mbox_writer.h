// A mailbox of saved mails in the mboxrd form that mail programs read: each mail behind a
// "From <sender> <date>" line, its lines that start with ">*From " quoted with one more ">",
// its bytes otherwise as they are (CR LF stays CR LF), and an empty line after it.
#pragma once

#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace quillon {

struct MboxMessage {
  std::string_view bytes;  // the mail's text, as an .eml file holds it
  // A From (or Return-Path) header value; the address in it is the envelope sender.
  std::string sender;
  // The mail's date as a found mail carries it ("2009-03-09 10:11:12"); any other text, or
  // none, counts as no date.
  std::string date;
};

class MboxWriter {
 public:
  // `scanTime` stands in for a mail without a usable date.
  MboxWriter(std::ostream& out, std::time_t scanTime);

  void Add(const MboxMessage& message);

  // Flushes; false when any write failed.
  [[nodiscard]] bool Finish();

 private:
  std::ostream& out_;
  std::time_t scanTime_;
};

// The From_ line's sender: the address in angle brackets, else the first word holding an '@';
// "MAILER-DAEMON" when there is none or it holds anything but printable ASCII.
std::string EnvelopeSender(std::string_view headerValue);

// The From_ line's date in the form of asctime ("Mon Mar  9 10:11:12 2009") from a found mail's
// "YYYY-MM-DD HH:MM:SS"; none when `date` is not of that form or names no real day.
std::optional<std::string> EnvelopeDate(std::string_view date);
// `time` (UTC) in the same form.
std::string EnvelopeDate(std::time_t time);

// `bytes` with each line that starts with ">*From " given one more ">" (mboxrd).
std::string QuoteFromLines(std::string_view bytes);

}  // namespace quillon
