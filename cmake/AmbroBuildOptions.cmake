# Warnings, sanitizers and the optional parts of the build, for every target.

option(AMBRO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(AMBRO_TSAN "Build with ThreadSanitizer" OFF)
# Our own builds (scripts/test) treat warnings as errors; a user's build with
# another compiler or optimisation level never fails on a new warning.
option(AMBRO_WERROR "Treat compiler warnings as errors" OFF)

if(AMBRO_SANITIZE AND AMBRO_TSAN)
  message(FATAL_ERROR "AMBRO_SANITIZE and AMBRO_TSAN cannot be combined")
endif()

add_compile_options(-Wall -Wextra)
if(AMBRO_WERROR)
  add_compile_options(-Werror)
endif()
if(AMBRO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(AMBRO_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Without Qt only the libraries below the windows, the command-line tool and
# their suites are built: what the sanitizer builds and the fuzzers need.
option(AMBRO_WITH_QT "Build the windows, the desktop client and their tests" ON)
# The libFuzzer targets in fuzz/ (clang only); every library is compiled
# with the fuzzer's coverage instrumentation.
option(AMBRO_FUZZ "Build the libFuzzer targets" OFF)
if(AMBRO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "AMBRO_FUZZ needs clang (CMAKE_CXX_COMPILER=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
