# Helpers for the test suites.
find_package(GTest REQUIRED)
include(GoogleTest)

# What every test program may use: the tests' own helper headers, included as
# "tests/<folder>/File.h", and where the fixtures and the dome descriptions
# of the source tree are.
add_library(ambro_test_files INTERFACE)
foreach(folder tests/support tests/sim tests/playback tests/live/view tests/tools)
  ambro_publish_headers(ambro_test_files ${folder})
endforeach()
target_compile_definitions(ambro_test_files INTERFACE
  AMBRO_FIXTURE_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
  AMBRO_PTZ_SETUP_DIR="${AMBRO_PTZ_SETUP_DIR}")

# A Google Test suite; LIBRARIES are what it links besides GoogleTest.
# THREADED labels the suite "threaded" (its code runs threads: sockets,
# readers, session threads), which the ThreadSanitizer build runs; the others
# are labelled "plain".
#   ambro_add_test_suite(<name> <source>... [THREADED] [LIBRARIES <library>...])
function(ambro_add_test_suite name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "THREADED" "" "LIBRARIES")
  add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} ambro_test_files GTest::gtest_main)
  set(label plain)
  if(arg_THREADED)
    set(label threaded)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 LABELS ${label})
endfunction()

# A suite of windows, run offscreen; its main() starts a QApplication.
#   ambro_add_window_test_suite(<name> <source>... [LIBRARIES <library>...])
function(ambro_add_window_test_suite name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "LIBRARIES")
  add_executable(${name} ${PROJECT_SOURCE_DIR}/tests/app/QtTestMain.cpp ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} ambro_test_files GTest::gtest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS qt)
endfunction()
