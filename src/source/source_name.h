// How DataSource::Open reads a source name before any platform back end sees it. The rules are
// the same on every operating system; only what an "other" name opens differs.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

enum class SourceNameKind {
  Empty,         // refused
  RefusedShort,  // two characters and no ':' among them: refused
  WholeDisk,     // "HD<n>", n of one or two digits, "HD" in any case
  Other,         // a path or a device name, left to the back end
};

struct SourceNameForm {
  SourceNameKind kind = SourceNameKind::Other;
  unsigned diskIndex = 0;  // only for WholeDisk
};

SourceNameForm ClassifySourceName(std::string_view name);

// What a name the user typed (on the command line or when starting the window) means: a bare
// name means a device under /dev to the back end, but a user who types the name of a file in the
// current folder means that file (not a folder), which becomes "./name". Every other name stays as
// given.
std::string ResolveSourceName(const std::string& name);

}  // namespace quillon
