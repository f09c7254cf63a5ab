// A raw image cut into pieces ("disk.001", "disk.002", ... or "diskaa", "diskab", ...), read as
// one source: the pieces' bytes one after the other, in the order of their suffixes.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "source/platform_source.h"

namespace quillon {

// Opens one piece by its path (the platform's file back end; tests may pass their own).
using PieceOpener = std::function<BackendOpening(const std::string& path)>;

// When `path` names a piece of a split image, the opened image or the reason why it cannot be
// read: a piece missing before a later one, a piece shorter than the ones before it, or a
// later piece given where the first one is to be named. None when the name is no piece of a
// set (a lone "disk.001" is a plain file).
[[nodiscard]] std::optional<BackendOpening> OpenSplitRawImage(const std::filesystem::path& path,
                                                              const PieceOpener& openPiece);

}  // namespace quillon
