#include "source/virtual_disk_source.h"

#include <libvhdi.h>
#include <libvmdk.h>

#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include "source/library_error.h"

namespace quillon {

namespace {

// Both libraries' error types are the same opaque type underneath, so the two cannot be
// overloads of one name.
std::string TakeVmdkError(libvmdk_error_t*& error) {
  return TakeLibraryError(error, libvmdk_error_backtrace_sprint, libvmdk_error_free);
}

std::string TakeVhdiError(libvhdi_error_t*& error) {
  return TakeLibraryError(error, libvhdi_error_backtrace_sprint, libvhdi_error_free);
}

// What tells the two libraries apart, so that one back end serves both: a handle type and its
// calls, each of the same shape.
struct VmdkCalls {
  using Handle = libvmdk_handle_t;
  using Error = libvmdk_error_t;
  static ssize_t Read(Handle* handle, void* buffer, std::size_t count, std::uint64_t offset,
                      Error** error) {
    return libvmdk_handle_read_buffer_at_offset(handle, buffer, count, static_cast<off64_t>(offset),
                                                error);
  }
  static std::string TakeError(Error*& error) { return TakeVmdkError(error); }
  static void Free(Handle*& handle) {
    libvmdk_handle_close(handle, nullptr);
    libvmdk_handle_free(&handle, nullptr);
  }
};

struct VhdiCalls {
  using Handle = libvhdi_file_t;
  using Error = libvhdi_error_t;
  static ssize_t Read(Handle* handle, void* buffer, std::size_t count, std::uint64_t offset,
                      Error** error) {
    return libvhdi_file_read_buffer_at_offset(handle, buffer, count, static_cast<off64_t>(offset),
                                              error);
  }
  static std::string TakeError(Error*& error) { return TakeVhdiError(error); }
  static void Free(Handle*& handle) {
    libvhdi_file_close(handle, nullptr);
    libvhdi_file_free(&handle, nullptr);
  }
};

template <typename Calls>
class VirtualDiskBackend final : public SourceBackend {
 public:
  VirtualDiskBackend(typename Calls::Handle* handle, std::uint64_t sizeBytes, SourceFacts facts)
      : handle_(handle), sizeBytes_(sizeBytes), facts_(std::move(facts)) {}
  ~VirtualDiskBackend() override { Calls::Free(handle_); }
  VirtualDiskBackend(const VirtualDiskBackend&) = delete;
  VirtualDiskBackend& operator=(const VirtualDiskBackend&) = delete;

  std::uint64_t SizeBytes() const override { return sizeBytes_; }
  SourceFacts Facts() const override { return facts_; }

  std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) override {
    if (count == 0 || offset >= sizeBytes_) return 0;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeBytes_ - offset));
    // The handle keeps a position and caches: one reader at a time.
    const std::lock_guard lock(mutex_);
    typename Calls::Error* error = nullptr;
    const ssize_t arrived = Calls::Read(handle_, buffer, count, offset, &error);
    if (arrived < 0) {
      Calls::TakeError(error);
      return -1;
    }
    return arrived;
  }

 private:
  typename Calls::Handle* handle_;
  std::uint64_t sizeBytes_;
  SourceFacts facts_;
  std::mutex mutex_;
};

bool FileExists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// The file of every extent the descriptor names that is not there; they are looked for beside
// the descriptor, as the library looks for them.
std::string MissingExtent(libvmdk_handle_t* handle, const std::filesystem::path& folder) {
  libvmdk_error_t* error = nullptr;
  int extents = 0;
  if (libvmdk_handle_get_number_of_extents(handle, &extents, &error) != 1) {
    TakeVmdkError(error);
    return {};
  }
  for (int i = 0; i < extents; ++i) {
    libvmdk_extent_descriptor_t* extent = nullptr;
    if (libvmdk_handle_get_extent_descriptor(handle, i, &extent, &error) != 1) {
      TakeVmdkError(error);
      continue;
    }
    int type = 0;
    char name[4096] = {};
    const bool named = libvmdk_extent_descriptor_get_type(extent, &type, &error) == 1 &&
                       type != LIBVMDK_EXTENT_TYPE_ZERO &&
                       libvmdk_extent_descriptor_get_utf8_filename(
                           extent, reinterpret_cast<std::uint8_t*>(name), sizeof name, &error) == 1;
    if (error) TakeVmdkError(error);
    libvmdk_extent_descriptor_free(&extent, nullptr);
    if (!named) continue;
    const std::filesystem::path file(name);
    const std::filesystem::path where = file.is_absolute() ? file : folder / file.filename();
    if (!FileExists(where))
      return "its descriptor names the extent \"" + std::string(name) +
             "\", which is missing (no file " + where.string() + ")";
  }
  return {};
}

std::filesystem::path FolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

constexpr std::uint32_t kNoParent = 0xFFFFFFFF;

}  // namespace

BackendOpening OpenVmdkImage(const std::string& path) {
  libvmdk_error_t* error = nullptr;
  libvmdk_handle_t* handle = nullptr;
  if (libvmdk_handle_initialize(&handle, &error) != 1) return {nullptr, TakeVmdkError(error)};
  auto fail = [&handle](std::string message) {
    VmdkCalls::Free(handle);
    return BackendOpening{nullptr, std::move(message)};
  };
  if (libvmdk_handle_open(handle, path.c_str(), LIBVMDK_OPEN_READ, &error) != 1)
    return fail("the VMDK cannot be read: " + TakeVmdkError(error));

  std::uint32_t parent = kNoParent;
  if (libvmdk_handle_get_parent_content_identifier(handle, &parent, &error) == 1 &&
      parent != kNoParent) {
    char parentName[4096] = {};
    libvmdk_handle_get_utf8_parent_filename(handle, reinterpret_cast<std::uint8_t*>(parentName),
                                            sizeof parentName, nullptr);
    return fail("the VMDK holds only the changes made to its parent disk" +
                std::string(*parentName ? " \"" + std::string(parentName) + "\"" : "") +
                "; scan the parent disk, or a copy with the changes merged in");
  }
  if (error) TakeVmdkError(error);

  const std::string missing = MissingExtent(handle, FolderOf(path));
  if (!missing.empty()) return fail(missing);
  if (libvmdk_handle_open_extent_data_files(handle, &error) != 1)
    return fail("the VMDK's extent files cannot be read: " + TakeVmdkError(error));

  size64_t size = 0;
  if (libvmdk_handle_get_media_size(handle, &size, &error) != 1)
    return fail("the VMDK's size cannot be read: " + TakeVmdkError(error));
  int extents = 1;
  libvmdk_handle_get_number_of_extents(handle, &extents, nullptr);
  SourceFacts facts;
  facts.container = SourceContainer::Vmdk;
  facts.files = static_cast<std::size_t>(std::max(extents, 1));
  return {std::make_unique<VirtualDiskBackend<VmdkCalls>>(handle, size, std::move(facts)), {}};
}

BackendOpening OpenVhdImage(const std::string& path, SourceContainer container) {
  const char* kind = container == SourceContainer::Vhdx ? "VHDX" : "VHD";
  libvhdi_error_t* error = nullptr;
  libvhdi_file_t* file = nullptr;
  if (libvhdi_file_initialize(&file, &error) != 1) return {nullptr, TakeVhdiError(error)};
  auto fail = [&file](std::string message) {
    VhdiCalls::Free(file);
    return BackendOpening{nullptr, std::move(message)};
  };
  if (libvhdi_file_open(file, path.c_str(), LIBVHDI_OPEN_READ, &error) != 1)
    return fail(std::string("the ") + kind + " cannot be read: " + TakeVhdiError(error));

  std::uint32_t diskType = 0;
  if (libvhdi_file_get_disk_type(file, &diskType, &error) == 1 &&
      diskType == LIBVHDI_DISK_TYPE_DIFFERENTIAL) {
    char parentName[4096] = {};
    libvhdi_file_get_utf8_parent_filename(file, reinterpret_cast<std::uint8_t*>(parentName),
                                          sizeof parentName, nullptr);
    return fail(std::string("the ") + kind + " holds only the changes made to its parent disk" +
                std::string(*parentName ? " \"" + std::string(parentName) + "\"" : "") +
                "; scan the parent disk, or a copy with the changes merged in");
  }
  if (error) TakeVhdiError(error);

  size64_t size = 0;
  if (libvhdi_file_get_media_size(file, &size, &error) != 1)
    return fail(std::string("the ") + kind + "'s size cannot be read: " + TakeVhdiError(error));
  SourceFacts facts;
  facts.container = container;
  return {std::make_unique<VirtualDiskBackend<VhdiCalls>>(file, size, std::move(facts)), {}};
}

}  // namespace quillon
