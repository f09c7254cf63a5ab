// How the pieces of a split raw image are named: "NAME.000" or "NAME.001" and on (a number of
// two or more digits behind a dot), or "NAMEaa", "NAMEab", ... (two or more letters, as the
// split tool names its pieces). Only names; opening the pieces is split_raw_source's job.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct SplitNaming {
  std::string stem;  // the name in front of the suffix
  bool letters = false;
  std::size_t width = 0;  // characters of the suffix

  // The name whose suffix stands for `index` (0 for "00" and "aa"); none once the suffix would
  // need more characters than `width`.
  std::optional<std::string> NameOf(std::uint64_t index) const;
  // What a name's suffix stands for when the name belongs to this set of pieces.
  std::optional<std::uint64_t> IndexOf(std::string_view name) const;
};

// One way to read a file name as a piece: its naming and what its suffix stands for.
struct SplitReading {
  SplitNaming naming;
  std::uint64_t index = 0;
};

// Every way `fileName` (no folder) can be read as a piece, the widest suffix first ("xaab" may
// be "x" + "aab" or "xa" + "ab"). Empty when its name ends in no suffix of two or more digits
// behind a dot, nor in two or more lower-case letters behind something else.
std::vector<SplitReading> SplitReadings(std::string_view fileName);

}  // namespace quillon
