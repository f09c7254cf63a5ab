# Every test program links the whole core with its debug information, and there are a few dozen
# of them per tree: lld links them several times faster than the default linker, on the same
# objects and with the same result. Used where the compiler accepts it (Debian's lld package,
# scripts/install-deps.sh); the default linker otherwise.
option(QUILLON_FAST_LINKER "Link with lld when the compiler can use it" ON)
if(QUILLON_FAST_LINKER)
  include(CheckLinkerFlag)
  check_linker_flag(CXX -fuse-ld=lld QUILLON_LINKER_LLD)
  if(QUILLON_LINKER_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()
