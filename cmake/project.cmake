# Settings shared by every target of the project's own code.

# Warnings are errors in project code.
# GCC 12 reports -Wrestrict on libstdc++'s own string concatenation at -O2 (a known false
# positive of that release), so the check is left to the other compilers there.
function(lumeno_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror -Wno-missing-field-initializers)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# A deliverable module: a shared library in the driver directory that finds its siblings
# (the platform library among them) beside itself.
function(lumeno_module target)
  cmake_parse_arguments(M "" "SUFFIX;OUTPUT_NAME" "" ${ARGN})
  lumeno_target(${target})
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    BUILD_RPATH "$ORIGIN"
    INSTALL_RPATH "$ORIGIN")
  if(M_SUFFIX)
    set_target_properties(${target} PROPERTIES SUFFIX ${M_SUFFIX})
  endif()
  if(M_OUTPUT_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${M_OUTPUT_NAME})
  endif()
  # Nothing undefined may slip through to load time. (Clang's sanitizer runtimes live in the
  # executable, so the fuzz build cannot ask this of its modules.)
  if(NOT LUMENO_FUZZ)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()

# A program that loads modules from the driver directory.
function(lumeno_program target)
  lumeno_target(${target})
  set_target_properties(${target} PROPERTIES BUILD_RPATH "${LUMENO_DRIVER_DIR}")
endfunction()
