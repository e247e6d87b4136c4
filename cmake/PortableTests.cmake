# Host build of the portable units: GoogleTest from Debian's source package,
# AddressSanitizer and UndefinedBehaviorSanitizer on by default.
option(VELMOR_SANITIZE "Build the portable units with ASan and UBSan" ON)
if(VELMOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
add_compile_options(-Wall -Wextra -Wno-unused-parameter)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# The compression libraries of the entry codec. LZO comes from Debian's
# liblzo2-dev. The LZMA SDK is compiled here from its C folder, which
# scripts/native-deps.sh fetches once into the dependency cache (it is asked
# here when VELMOR_LZMA_SDK_DIR is not given).
find_path(LZO_INCLUDE_DIR lzo/lzo1x.h)
find_library(LZO_LIBRARY NAMES lzo2)
if(NOT LZO_INCLUDE_DIR OR NOT LZO_LIBRARY)
  message(FATAL_ERROR "LZO not found: install Debian's liblzo2-dev (scripts/setup.sh)")
endif()
add_library(deps::lzo INTERFACE IMPORTED GLOBAL)
set_target_properties(deps::lzo PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${LZO_INCLUDE_DIR}
  INTERFACE_LINK_LIBRARIES ${LZO_LIBRARY})

set(VELMOR_LZMA_SDK_DIR "$ENV{VELMOR_LZMA_SDK_DIR}" CACHE PATH "C folder of the LZMA SDK sources")
if(NOT VELMOR_LZMA_SDK_DIR OR NOT EXISTS "${VELMOR_LZMA_SDK_DIR}/LzmaEnc.c")
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/native-deps.sh
                  OUTPUT_VARIABLE NATIVE_DEPS_OUT RESULT_VARIABLE NATIVE_DEPS_RC
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT NATIVE_DEPS_RC EQUAL 0)
    message(FATAL_ERROR "scripts/native-deps.sh failed; set VELMOR_LZMA_SDK_DIR to the SDK's C folder")
  endif()
  string(REGEX REPLACE ".*\n" "" NATIVE_DEPS_OUT "${NATIVE_DEPS_OUT}")
  set(VELMOR_LZMA_SDK_DIR "${NATIVE_DEPS_OUT}" CACHE PATH "C folder of the LZMA SDK sources" FORCE)
endif()
set(LZMA_SDK_DIR ${VELMOR_LZMA_SDK_DIR})
add_subdirectory(${CMAKE_SOURCE_DIR}/cmake/deps/lzma ${CMAKE_BINARY_DIR}/lzmasdk EXCLUDE_FROM_ALL)
add_library(deps::lzma ALIAS lzmasdk)
# The SDK reads and writes unaligned words on purpose where the processor
# allows it; that is its design, not a fault for the sanitizer to stop on.
if(VELMOR_SANITIZE)
  target_compile_options(lzmasdk PRIVATE -fno-sanitize=alignment)
endif()
