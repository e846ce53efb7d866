# Warnings for our own targets only; third-party headers come in as system headers.
function(corvan_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough)
  # GCC 12 reports impossible overlaps inside libstdc++'s string concatenation at -O2
  # (a known false positive, fixed in GCC 13); it would fail optimised -Werror builds.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  # A unity build includes each source into a batch file, and GCC then takes a type from a
  # source's anonymous namespace (a test fixture) for one that a header would give out.
  if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
  endif()
  if(CORVAN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
