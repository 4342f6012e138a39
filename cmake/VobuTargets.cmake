# Helpers that give every target of the project the same flags.

# Warnings on; no fast-math and no contraction, so that the movement code
# gives the same bits on every machine and in every build type.
set(VOBU_COMPILE_OPTIONS -Wall -Wextra -Wno-unused-parameter -ffp-contract=off -fno-fast-math)

if(VOBU_SANITIZE)
  list(APPEND VOBU_COMPILE_OPTIONS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# vobu_library(<name> SOURCES ... [DEPS ...])
# A static library whose headers are included as "<subsystem>/<file>.h"
# relative to client/src.
function(vobu_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/client/src)
  target_compile_options(${name} PRIVATE ${VOBU_COMPILE_OPTIONS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# vobu_test(<name> SOURCES ... [DEPS ...] [LABELS ...])
# A GoogleTest executable; each test case becomes one ctest test.
function(vobu_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/client/src ${CMAKE_SOURCE_DIR}/client/tests)
  target_compile_options(${name} PRIVATE ${VOBU_COMPILE_OPTIONS})
  target_compile_definitions(${name} PRIVATE
    VOBU_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VOBU_BINARY_DIR="${CMAKE_BINARY_DIR}"
    VOBU_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()

# vobu_benchmark(<name> SOURCES ... [DEPS ...])
function(vobu_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/client/src ${CMAKE_SOURCE_DIR}/client/tests)
  target_compile_options(${name} PRIVATE ${VOBU_COMPILE_OPTIONS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
