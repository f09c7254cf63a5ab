# Warnings for our own targets only; third-party headers come in as SYSTEM.
function(quillon_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local
                                           -Wnon-virtual-dtor -Wcast-align -Wformat=2)
  if(QUILLON_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
