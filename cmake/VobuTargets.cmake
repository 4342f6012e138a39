# Helpers that give every target of the project the same flags.

# Warnings on; no fast-math and no contraction, so that the movement code
# gives the same bits on every machine and in every build type.
set(VOBU_COMPILE_OPTIONS -Wall -Wextra -Wno-unused-parameter -ffp-contract=off -fno-fast-math)

if(VOBU_SANITIZE)
  list(APPEND VOBU_COMPILE_OPTIONS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Every test labelled "sanitize" hangs off this target, so that the
# sanitizer build compiles only what it runs.
if(NOT TARGET vobu_sanitize_tests)
  add_custom_target(vobu_sanitize_tests)
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

# The entry functions of the fuzz targets (client/fuzz/*_entries.h): the
# ordinary build's corpus replays and mutation loops call the very same
# ones. Tests that do link this and include them by name.
add_library(vobu_fuzz_entries INTERFACE)
target_include_directories(vobu_fuzz_entries INTERFACE ${CMAKE_SOURCE_DIR}/client/fuzz)

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
  if("sanitize" IN_LIST ARG_LABELS)
    add_dependencies(vobu_sanitize_tests ${name})
  endif()
endfunction()

# vobu_benchmark(<name> SOURCES ... [DEPS ...])
function(vobu_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/client/src ${CMAKE_SOURCE_DIR}/client/tests)
  target_compile_options(${name} PRIVATE ${VOBU_COMPILE_OPTIONS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# vobu_subsystem(<sub> [DEPS ...] [GL_DEPS ...] [EXCLUDE <file>.cpp ...])
# Every client/src/<sub>/*.cpp goes into the library vobu_<sub>, which needs
# no window and no OpenGL, so tests link it directly. Files named *_gl.cpp
# (the few that call OpenGL or need a window) go into vobu_<sub>_gl instead.
# EXCLUDE names files that the folder builds into libraries of its own (those
# that need a system library few targets should link).
function(vobu_subsystem sub)
  cmake_parse_arguments(ARG "" "" "DEPS;GL_DEPS;EXCLUDE" ${ARGN})
  file(GLOB all_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM all_sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  set(pure_sources ${all_sources})
  list(FILTER pure_sources EXCLUDE REGEX "_gl\\.cpp$")
  set(gl_sources ${all_sources})
  list(FILTER gl_sources INCLUDE REGEX "_gl\\.cpp$")
  if(pure_sources)
    vobu_library(vobu_${sub} SOURCES ${pure_sources} DEPS ${ARG_DEPS})
  else()
    add_library(vobu_${sub} INTERFACE)
    target_include_directories(vobu_${sub} INTERFACE ${CMAKE_SOURCE_DIR}/client/src)
    target_link_libraries(vobu_${sub} INTERFACE ${ARG_DEPS})
  endif()
  if(gl_sources)
    vobu_library(vobu_${sub}_gl SOURCES ${gl_sources} DEPS vobu_${sub} ${ARG_GL_DEPS} OpenGL::GL vobu_sdl2)
  endif()
endfunction()

# vobu_subsystem_tests(<sub> [DEPS ...] [LABELS ...])
# Every client/tests/<sub>/*_test.cpp goes into one executable <sub>_tests.
function(vobu_subsystem_tests sub)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(sources)
    vobu_test(${sub}_tests SOURCES ${sources} DEPS vobu_${sub} ${ARG_DEPS} LABELS ${ARG_LABELS})
  endif()
endfunction()
