#include "source/ewf_source.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "source/ewf_segments.h"
#include "source/image_libraries.h"
#include "source/library_error.h"

namespace quillon {

namespace {

std::string TakeError(const EwfLibrary& ewf, libewf_error_t*& error) {
  return TakeLibraryError(error, ewf.error_backtrace_sprint, ewf.error_free);
}

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
  std::string hex;
  for (std::size_t i = 0; i < size; ++i) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    hex += digits;
  }
  return hex;
}

// Bytes [start, end) of the media that must read as failed.
struct BadRange {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
};

class EwfBackend final : public SourceBackend {
 public:
  EwfBackend(const EwfLibrary& ewf, libewf_handle_t* handle, SourceFacts facts)
      : ewf_(ewf), handle_(handle), facts_(std::move(facts)) {
    libewf_error_t* error = nullptr;
    size64_t size = 0;
    if (ewf_.handle_get_media_size(handle_, &size, &error) == 1) sizeBytes_ = size;
    TakeError(ewf_, error);
    std::uint32_t bytesPerSector = 512;
    if (ewf_.handle_get_bytes_per_sector(handle_, &bytesPerSector, &error) == 1)
      bytesPerSector_ = bytesPerSector;
    TakeError(ewf_, error);
    // Sectors the acquisition could not read are stored as zeros; they are as unreadable as
    // they were on the disk.
    std::uint32_t count = 0;
    if (ewf_.handle_get_number_of_acquiry_errors(handle_, &count, &error) == 1) {
      for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t first = 0;
        std::uint64_t sectors = 0;
        if (ewf_.handle_get_acquiry_error(handle_, i, &first, &sectors, &error) == 1)
          acquiryErrors_.push_back({first * bytesPerSector_, (first + sectors) * bytesPerSector_});
      }
    }
    if (error) TakeError(ewf_, error);
    badRanges_ = acquiryErrors_;
  }
  ~EwfBackend() override {
    libewf_error_t* error = nullptr;
    ewf_.handle_close(handle_, &error);
    if (error) ewf_.error_free(&error);
    ewf_.handle_free(&handle_, nullptr);
  }
  EwfBackend(const EwfBackend&) = delete;
  EwfBackend& operator=(const EwfBackend&) = delete;

  std::uint64_t SizeBytes() const override { return sizeBytes_; }
  SourceFacts Facts() const override { return facts_; }

  std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) override {
    if (count == 0 || offset >= sizeBytes_) return 0;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeBytes_ - offset));
    // The handle keeps a position and a chunk cache: one reader at a time.
    const std::lock_guard lock(mutex_);
    libewf_error_t* error = nullptr;
    const ssize_t arrived =
        ewf_.handle_read_random(handle_, buffer, count, static_cast<off64_t>(offset), &error);
    if (arrived < 0) {
      TakeError(ewf_, error);
      return -1;
    }
    // The library hands out a chunk whose checksum failed and only notes its sectors; those
    // sectors must fail as a bad disk's do. Bytes in front of them still arrive.
    RefreshChecksumErrors();
    const std::uint64_t end = offset + static_cast<std::uint64_t>(arrived);
    for (const BadRange& bad : badRanges_) {
      if (bad.end <= offset || bad.start >= end) continue;
      if (bad.start <= offset) return -1;
      return static_cast<std::int64_t>(bad.start - offset);
    }
    return arrived;
  }

 private:
  void RefreshChecksumErrors() {
    libewf_error_t* error = nullptr;
    std::uint32_t count = 0;
    if (ewf_.handle_get_number_of_checksum_errors(handle_, &count, &error) != 1) {
      TakeError(ewf_, error);
      return;
    }
    if (count == checksumErrors_) return;
    checksumErrors_ = count;
    badRanges_ = acquiryErrors_;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint64_t first = 0;
      std::uint64_t sectors = 0;
      if (ewf_.handle_get_checksum_error(handle_, i, &first, &sectors, &error) == 1)
        badRanges_.push_back({first * bytesPerSector_, (first + sectors) * bytesPerSector_});
      else
        TakeError(ewf_, error);
    }
    std::sort(badRanges_.begin(), badRanges_.end(),
              [](const BadRange& a, const BadRange& b) { return a.start < b.start; });
  }

  const EwfLibrary& ewf_;
  libewf_handle_t* handle_;
  SourceFacts facts_;
  std::uint64_t sizeBytes_ = 0;
  std::uint64_t bytesPerSector_ = 512;
  std::mutex mutex_;
  std::vector<BadRange> acquiryErrors_;
  std::vector<BadRange> badRanges_;  // acquiry and checksum errors, by start
  std::uint32_t checksumErrors_ = 0;
};

std::vector<StoredHash> StoredHashes(const EwfLibrary& ewf, libewf_handle_t* handle) {
  std::vector<StoredHash> hashes;
  libewf_error_t* error = nullptr;
  std::uint8_t md5[16];
  if (ewf.handle_get_md5_hash(handle, md5, sizeof md5, &error) == 1)
    hashes.push_back({"md5", Hex(md5, sizeof md5)});
  if (error) TakeError(ewf, error);
  std::uint8_t sha1[20];
  if (ewf.handle_get_sha1_hash(handle, sha1, sizeof sha1, &error) == 1)
    hashes.push_back({"sha1", Hex(sha1, sizeof sha1)});
  if (error) TakeError(ewf, error);
  return hashes;
}

// The segment names libewf found, owned by a vector.
std::vector<std::string> GlobSegments(const EwfLibrary& ewf, const std::string& path,
                                      std::string& failure) {
  libewf_error_t* error = nullptr;
  char** names = nullptr;
  int count = 0;
  if (ewf.glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count, &error) != 1) {
    failure = "its segment files cannot be found: " + TakeError(ewf, error);
    return {};
  }
  std::vector<std::string> segments(names, names + count);
  ewf.glob_free(names, count, nullptr);
  return segments;
}

}  // namespace

BackendOpening OpenEwfImage(const std::string& path, SourceContainer version) {
  std::string failure;
  const EwfLibrary* ewf = LoadEwfLibrary(failure);
  if (!ewf) return {nullptr, failure};
  // The library this is built with may read only the first version of the format.
  const std::string secondVersion =
      version == SourceContainer::Ewf2 ? " (an Ex01 image, which libewf may not read)" : "";
  std::vector<std::string> segments = GlobSegments(*ewf, path, failure);
  if (segments.empty())
    return {nullptr,
            (failure.empty() ? "no segment files found beside it" : failure) + secondVersion};

  libewf_error_t* error = nullptr;
  libewf_handle_t* handle = nullptr;
  if (ewf->handle_initialize(&handle, &error) != 1) return {nullptr, TakeError(*ewf, error)};
  std::vector<char*> names;
  for (std::string& segment : segments) names.push_back(segment.data());
  if (ewf->handle_open(handle, names.data(), static_cast<int>(names.size()), LIBEWF_OPEN_READ,
                       &error) != 1) {
    std::string message = TakeError(*ewf, error);
    ewf->handle_free(&handle, nullptr);
    const std::string diagnosis =
        version == SourceContainer::Ewf ? DiagnoseEwfSegments(segments) : std::string();
    return {nullptr,
            diagnosis.empty() ? "the image cannot be read: " + message + secondVersion : diagnosis};
  }

  // The library opens a set with a segment missing or cut off and would read the lost part
  // as damaged chunks; an examiner must hear which file is wrong before anything is scanned.
  if (ewf->handle_segment_files_corrupted(handle, &error) != 0) {
    if (error) TakeError(*ewf, error);
    std::string diagnosis =
        version == SourceContainer::Ewf ? DiagnoseEwfSegments(segments) : std::string();
    if (diagnosis.empty())
      diagnosis =
          "its " + std::to_string(segments.size()) + " segment files are incomplete or damaged";
    ewf->handle_close(handle, nullptr);
    ewf->handle_free(&handle, nullptr);
    return {nullptr, diagnosis};
  }

  SourceFacts facts;
  facts.container = version;
  facts.files = segments.size();
  facts.storedHashes = StoredHashes(*ewf, handle);
  return {std::make_unique<EwfBackend>(*ewf, handle, std::move(facts)), {}};
}

}  // namespace quillon
