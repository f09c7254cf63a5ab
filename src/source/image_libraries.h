// The functions of the image-format libraries, loaded on the first image of their format
// (shared_library.h): a scan of anything else never loads them. Each table is filled once per
// process and then shared; where the library is missing, opening an image of its format fails
// with a message that names it.
#pragma once

#include <libewf.h>
#include <libvhdi.h>
#include <libvmdk.h>

#include <string>

namespace quillon {
struct EwfLibrary {
  decltype(&libewf_error_backtrace_sprint) error_backtrace_sprint = nullptr;
  decltype(&libewf_error_free) error_free = nullptr;
  decltype(&libewf_glob) glob = nullptr;
  decltype(&libewf_glob_free) glob_free = nullptr;
  decltype(&libewf_handle_close) handle_close = nullptr;
  decltype(&libewf_handle_free) handle_free = nullptr;
  decltype(&libewf_handle_get_acquiry_error) handle_get_acquiry_error = nullptr;
  decltype(&libewf_handle_get_bytes_per_sector) handle_get_bytes_per_sector = nullptr;
  decltype(&libewf_handle_get_checksum_error) handle_get_checksum_error = nullptr;
  decltype(&libewf_handle_get_md5_hash) handle_get_md5_hash = nullptr;
  decltype(&libewf_handle_get_media_size) handle_get_media_size = nullptr;
  decltype(&libewf_handle_get_number_of_acquiry_errors) handle_get_number_of_acquiry_errors =
      nullptr;
  decltype(&libewf_handle_get_number_of_checksum_errors) handle_get_number_of_checksum_errors =
      nullptr;
  decltype(&libewf_handle_get_sha1_hash) handle_get_sha1_hash = nullptr;
  decltype(&libewf_handle_initialize) handle_initialize = nullptr;
  decltype(&libewf_handle_open) handle_open = nullptr;
  decltype(&libewf_handle_read_random) handle_read_random = nullptr;
  decltype(&libewf_handle_segment_files_corrupted) handle_segment_files_corrupted = nullptr;
};
// The functions of libewf.so.2, loaded on the first call; null, with `error` saying why, when the
// library cannot be loaded or lacks one of them.
const EwfLibrary* LoadEwfLibrary(std::string& error);

struct VmdkLibrary {
  decltype(&libvmdk_error_free) error_free = nullptr;
  decltype(&libvmdk_error_backtrace_sprint) error_backtrace_sprint = nullptr;
  decltype(&libvmdk_extent_descriptor_free) extent_descriptor_free = nullptr;
  decltype(&libvmdk_extent_descriptor_get_type) extent_descriptor_get_type = nullptr;
  decltype(&libvmdk_extent_descriptor_get_utf8_filename) extent_descriptor_get_utf8_filename =
      nullptr;
  decltype(&libvmdk_handle_close) handle_close = nullptr;
  decltype(&libvmdk_handle_free) handle_free = nullptr;
  decltype(&libvmdk_handle_get_extent_descriptor) handle_get_extent_descriptor = nullptr;
  decltype(&libvmdk_handle_get_media_size) handle_get_media_size = nullptr;
  decltype(&libvmdk_handle_get_number_of_extents) handle_get_number_of_extents = nullptr;
  decltype(&libvmdk_handle_get_parent_content_identifier) handle_get_parent_content_identifier =
      nullptr;
  decltype(&libvmdk_handle_get_utf8_parent_filename) handle_get_utf8_parent_filename = nullptr;
  decltype(&libvmdk_handle_initialize) handle_initialize = nullptr;
  decltype(&libvmdk_handle_open) handle_open = nullptr;
  decltype(&libvmdk_handle_open_extent_data_files) handle_open_extent_data_files = nullptr;
  decltype(&libvmdk_handle_read_buffer_at_offset) handle_read_buffer_at_offset = nullptr;
};
// The functions of libvmdk.so.1, loaded on the first call; null, with `error` saying why, when the
// library cannot be loaded or lacks one of them.
const VmdkLibrary* LoadVmdkLibrary(std::string& error);

struct VhdiLibrary {
  decltype(&libvhdi_error_free) error_free = nullptr;
  decltype(&libvhdi_error_backtrace_sprint) error_backtrace_sprint = nullptr;
  decltype(&libvhdi_file_close) file_close = nullptr;
  decltype(&libvhdi_file_free) file_free = nullptr;
  decltype(&libvhdi_file_get_disk_type) file_get_disk_type = nullptr;
  decltype(&libvhdi_file_get_media_size) file_get_media_size = nullptr;
  decltype(&libvhdi_file_get_utf8_parent_filename) file_get_utf8_parent_filename = nullptr;
  decltype(&libvhdi_file_initialize) file_initialize = nullptr;
  decltype(&libvhdi_file_open) file_open = nullptr;
  decltype(&libvhdi_file_read_buffer_at_offset) file_read_buffer_at_offset = nullptr;
};
// The functions of libvhdi.so.1, loaded on the first call; null, with `error` saying why, when the
// library cannot be loaded or lacks one of them.
const VhdiLibrary* LoadVhdiLibrary(std::string& error);

}  // namespace quillon
