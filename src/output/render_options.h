// What a front end chooses about how found mails are shown, named and written out.
#pragma once

#include "text/locale_code_page.h"

namespace quillon {

struct RenderOptions {
  // The code page 8-bit text without a charset is read in (a date, a header value, a body):
  // the command line's --codepage or the window's setting, else the environment's.
  int ansiCodePage = AnsiCodePageFromEnvironment();
};

}  // namespace quillon
