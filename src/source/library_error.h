// Turns the error objects of the image libraries (libewf, libvmdk, libvhdi share one style) into
// a line for the user, and frees them.
#pragma once

#include <string>

namespace quillon {

// The innermost cause of a library error: the first line of its backtrace, without the name of
// the function that reported it ("no such file: /x/a.vmdk").
template <typename Error, typename Print, typename Free>
std::string TakeLibraryError(Error*& error, Print backtracePrint, Free freeError) {
  if (error == nullptr) return "the image library failed without saying why";
  char text[2048] = {};
  backtracePrint(error, text, sizeof text);
  freeError(&error);
  error = nullptr;
  std::string line(text);
  line = line.substr(0, line.find('\n'));
  const std::size_t colon = line.find(": ");
  if (colon != std::string::npos && line.find(' ') > colon) line.erase(0, colon + 2);
  while (!line.empty() && (line.back() == '.' || line.back() == ' ')) line.pop_back();
  return line.empty() ? "the image library failed without saying why" : line;
}

}  // namespace quillon
