// A shared library opened when a source first needs it rather than when the program starts:
// relocating the image-format libraries cost every run about as much as scanning a megabyte,
// while most sources are raw disks and plain image files that never call them.
#pragma once

#include <memory>
#include <string>
#include <utility>

namespace quillon {

class SharedLibrary {
 public:
  // Opens the library of that file name (a soname such as "libz.so.1", looked for where the
  // system looks). Null, with `error` saying why, when it cannot be loaded.
  static std::unique_ptr<SharedLibrary> Open(const std::string& fileName, std::string& error);
  // The library stays loaded: functions taken from it may still be in use anywhere.
  ~SharedLibrary() = default;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Points `function` at the library's function `name`. False, with the name added to the
  // comma-separated `missing`, when the library has none of that name.
  template <typename Function>
  bool Bind(Function& function, const char* name, std::string& missing) const {
    function = reinterpret_cast<Function>(Address(name));
    if (function != nullptr) return true;
    missing += (missing.empty() ? "" : ", ") + std::string(name);
    return false;
  }

  const std::string& FileName() const { return fileName_; }

 private:
  SharedLibrary(void* handle, std::string fileName)
      : handle_(handle), fileName_(std::move(fileName)) {}
  void* Address(const char* name) const;

  void* handle_;
  std::string fileName_;
};

// A table of a library's functions, loaded once per process and then shared (keep it in a
// function-local static). Where the library cannot be loaded or lacks one of the functions, the
// error stays for every later caller.
template <typename Table>
class LoadedTable {
 public:
  // Opens `fileName` and lets `bindAll(library, table, missing)` bind the table's functions.
  // The errors read "<needs> <fileName>, which cannot be loaded (<why>)" and
  // "<fileName> <lacks>: <missing functions>".
  template <typename BindAll>
  LoadedTable(const char* fileName, const std::string& needs, const std::string& lacks,
              BindAll bindAll) {
    std::string why;
    library_ = SharedLibrary::Open(fileName, why);
    if (!library_) {
      error_ = needs + " " + fileName + ", which cannot be loaded (" + why + ")";
      return;
    }
    std::string missing;
    bindAll(std::as_const(*library_), table_, missing);
    if (!missing.empty()) {
      error_ = std::string(fileName) + " " + lacks + ": " + missing;
      library_.reset();
    }
  }

  // The table; null, with `error` saying why, where it could not be loaded.
  const Table* Get(std::string& error) const {
    if (!library_) {
      error = error_;
      return nullptr;
    }
    return &table_;
  }

 private:
  std::unique_ptr<SharedLibrary> library_;
  Table table_;
  std::string error_;
};

}  // namespace quillon
