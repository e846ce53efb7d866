# Warnings for our own targets only; third-party headers come in as system headers.
function(corvan_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough)
  if(CORVAN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
