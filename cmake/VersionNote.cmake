# Every program we link carries the project version as an ELF note (owner "Corvan",
# type 1, two 32-bit words: major<<16|minor, release<<16|build), so that the version
# of a file can be read without running it.
set(CORVAN_VERSION_MS "((${PROJECT_VERSION_MAJOR} << 16) | ${PROJECT_VERSION_MINOR})")
set(CORVAN_VERSION_LS "((${PROJECT_VERSION_PATCH} << 16) | ${PROJECT_VERSION_TWEAK})")
configure_file(${CMAKE_CURRENT_LIST_DIR}/version_note.cpp.in
  ${CMAKE_BINARY_DIR}/generated/version_note.cpp @ONLY)

function(corvan_version_note target)
  target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated/version_note.cpp)
endfunction()

# An executable of ours: warnings, version note.
function(corvan_executable target)
  add_executable(${target} ${ARGN})
  corvan_warnings(${target})
  corvan_version_note(${target})
endfunction()
