# The Debian packages the client links (scripts/setup.sh installs them).
find_package(SDL2 REQUIRED)
set(OpenGL_GL_PREFERENCE LEGACY)
find_package(OpenGL REQUIRED)
find_package(nlohmann_json 3.11 REQUIRED)
find_package(Threads REQUIRED)
find_package(GTest REQUIRED)
include(GoogleTest)
if(VOBU_BENCH)
  find_package(benchmark REQUIRED)
endif()

# mbedtls 2.28 ships no CMake package on Debian.
find_path(MBEDTLS_INCLUDE_DIR mbedtls/ssl.h REQUIRED)
find_library(MBEDTLS_LIBRARY mbedtls REQUIRED)
find_library(MBEDX509_LIBRARY mbedx509 REQUIRED)
find_library(MBEDCRYPTO_LIBRARY mbedcrypto REQUIRED)
add_library(vobu_mbedtls INTERFACE)
target_include_directories(vobu_mbedtls INTERFACE ${MBEDTLS_INCLUDE_DIR})
target_link_libraries(vobu_mbedtls INTERFACE ${MBEDTLS_LIBRARY} ${MBEDX509_LIBRARY} ${MBEDCRYPTO_LIBRARY})

# stb_vorbis: header in /usr/include/stb, code in libstb.
find_path(STB_INCLUDE_DIR stb_vorbis.h PATH_SUFFIXES stb REQUIRED)
find_library(STB_LIBRARY stb REQUIRED)
add_library(vobu_stb INTERFACE)
target_include_directories(vobu_stb INTERFACE ${STB_INCLUDE_DIR})
target_link_libraries(vobu_stb INTERFACE ${STB_LIBRARY})

# SDL2 as one target name whatever the package's config provides.
add_library(vobu_sdl2 INTERFACE)
if(TARGET SDL2::SDL2)
  target_link_libraries(vobu_sdl2 INTERFACE SDL2::SDL2)
else()
  target_include_directories(vobu_sdl2 INTERFACE ${SDL2_INCLUDE_DIRS})
  target_link_libraries(vobu_sdl2 INTERFACE ${SDL2_LIBRARIES})
endif()

# libspng (libspng-dev) for PNG images; it ships only a pkg-config file.
if(NOT TARGET vobu_spng)
  find_path(SPNG_INCLUDE_DIR spng.h REQUIRED)
  find_library(SPNG_LIBRARY spng REQUIRED)
  add_library(vobu_spng INTERFACE)
  target_include_directories(vobu_spng INTERFACE ${SPNG_INCLUDE_DIR})
  target_link_libraries(vobu_spng INTERFACE ${SPNG_LIBRARY})
endif()

# libX11 (libx11-dev) for the image clipboard; only the program and the
# tests that need a display link it.
find_package(X11 REQUIRED)
