#include "source/split_raw_source.h"

#include <algorithm>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

#include "source/split_raw_names.h"

namespace quillon {

namespace {

struct Piece {
  std::unique_ptr<SourceBackend> backend;
  std::uint64_t start = 0;  // where its bytes stand in the whole image
  std::uint64_t size = 0;
};

class SplitRawBackend final : public SourceBackend {
 public:
  explicit SplitRawBackend(std::vector<Piece> pieces) : pieces_(std::move(pieces)) {}

  std::uint64_t SizeBytes() const override {
    return pieces_.empty() ? 0 : pieces_.back().start + pieces_.back().size;
  }

  // Reads from the one piece that holds `offset`; a read across a boundary arrives short and
  // the caller asks again for the rest.
  std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) override {
    if (count == 0 || offset >= SizeBytes()) return 0;
    const auto after =
        std::upper_bound(pieces_.begin(), pieces_.end(), offset,
                         [](std::uint64_t at, const Piece& piece) { return at < piece.start; });
    Piece& piece = *std::prev(after);
    const std::uint64_t inside = offset - piece.start;
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(count, piece.size - inside));
    const std::int64_t arrived = piece.backend->ReadAt(buffer, wanted, inside);
    // A piece that ends before the length it had when it was opened has lost bytes: that is a
    // failed read, not the end of the image.
    return arrived == 0 ? -1 : arrived;
  }

  SourceFacts Facts() const override {
    SourceFacts facts;
    facts.container = SourceContainer::SplitRaw;
    facts.files = pieces_.size();
    return facts;
  }

 private:
  std::vector<Piece> pieces_;
};

bool Exists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// The highest index among the files in `folder` that belong to `naming`.
std::uint64_t HighestIndexPresent(const std::filesystem::path& folder, const SplitNaming& naming) {
  std::uint64_t highest = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::optional<std::uint64_t> index = naming.IndexOf(entry->path().filename().string());
    if (index && *index > highest && Exists(entry->path())) highest = *index;
  }
  return highest;
}

BackendOpening Failure(std::string message) {
  return {nullptr, std::move(message)};
}

// Opens the set of pieces from index `first` on; `given` is the file the user named.
BackendOpening OpenPieces(const std::filesystem::path& folder, const SplitNaming& naming,
                          std::uint64_t first, const PieceOpener& openPiece) {
  std::vector<std::string> names;
  for (std::uint64_t index = first;; ++index) {
    const std::optional<std::string> name = naming.NameOf(index);
    if (!name || !Exists(folder / *name)) break;
    names.push_back(*name);
  }
  const std::uint64_t highest = HighestIndexPresent(folder, naming);
  if (highest >= first + names.size()) {
    const std::string missing = *naming.NameOf(first + names.size());
    return Failure("piece " + missing + " of the split image is missing (" +
                   *naming.NameOf(highest) + " comes after it)");
  }

  std::vector<Piece> pieces;
  std::uint64_t start = 0;
  std::uint64_t pieceSize = 0;  // of every piece but the last
  for (std::size_t i = 0; i < names.size(); ++i) {
    BackendOpening opening = openPiece((folder / names[i]).string());
    if (!opening.backend) return Failure("piece " + names[i] + ": " + opening.error);
    const std::uint64_t size = opening.backend->SizeBytes();
    if (i == 0) pieceSize = size;
    const bool last = i + 1 == names.size();
    if (!last && size != pieceSize) {
      const bool shorter = size < pieceSize;
      return Failure("piece " + names[i] + " of the split image has " + std::to_string(size) +
                     " bytes where " + names[0] + " has " + std::to_string(pieceSize) +
                     (shorter ? ": it is cut short" : ""));
    }
    if (last && size > pieceSize) {
      return Failure("the last piece " + names[i] + " of the split image has " +
                     std::to_string(size) + " bytes, more than the " + std::to_string(pieceSize) +
                     " of " + names[0] + ": " + names[0] + " may be cut short");
    }
    pieces.push_back({std::move(opening.backend), start, size});
    start += size;
  }
  return {std::make_unique<SplitRawBackend>(std::move(pieces)), {}};
}

}  // namespace

std::optional<BackendOpening> OpenSplitRawImage(const std::filesystem::path& path,
                                                const PieceOpener& openPiece) {
  const std::filesystem::path folder =
      path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  const std::string fileName = path.filename().string();
  for (const SplitReading& reading : SplitReadings(fileName)) {
    const SplitNaming& naming = reading.naming;
    auto present = [&](std::uint64_t index) {
      const std::optional<std::string> name = naming.NameOf(index);
      return name && Exists(folder / *name);
    };
    // Numbered pieces start at 0 or at 1, lettered ones at "aa".
    const std::uint64_t first = !naming.letters && !present(0) ? 1 : 0;
    if (reading.index == first) {
      // A lone file with a piece-like name is a plain file; one with later pieces beside it
      // is a set, even when the second piece is the one missing.
      if (!present(first + 1) && HighestIndexPresent(folder, naming) <= first) continue;
      return OpenPieces(folder, naming, first, openPiece);
    }
    if (reading.index > first && present(reading.index - 1)) {
      const std::string firstName = *naming.NameOf(first);
      return Failure(fileName + " is piece " + std::to_string(reading.index - first + 1) +
                     " of a split image: open its first piece " + firstName +
                     (present(first) ? "" : ", which is missing"));
    }
  }
  return std::nullopt;
}

}  // namespace quillon
