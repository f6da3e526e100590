# Warnings every target of ours compiles with; third-party headers come in as SYSTEM.
# RUNTIME_WERROR makes them errors (CI turns it on).
option(RUNTIME_WERROR "Treat compiler warnings as errors" OFF)
add_library(project_warnings INTERFACE)
target_compile_options(project_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Wunused -Woverloaded-virtual -Wimplicit-fallthrough
  # Implicit narrowing and sign changes are written out as casts.
  -Wconversion -Wsign-conversion
  # -Wnull-dereference is left out: at -O2 GCC 12 reports it inside the standard library.
  # GCC 12 reports std::string concatenation at -O2 as overlapping copies (a known false positive).
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>
  $<$<BOOL:${RUNTIME_WERROR}>:-Werror>)
