# Imports the mingw dependencies from the cache that scripts/build-deps.sh
# fills; the prefix comes from VELMOR_DEPS_PREFIX (cache variable or env).
set(VELMOR_DEPS_PREFIX "$ENV{VELMOR_DEPS_PREFIX}" CACHE PATH "Dependency cache prefix")
if(NOT VELMOR_DEPS_PREFIX OR NOT EXISTS "${VELMOR_DEPS_PREFIX}/.complete")
  message(FATAL_ERROR "VELMOR_DEPS_PREFIX must name a complete dependency cache "
                      "(run scripts/build-deps.sh)")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${VELMOR_DEPS_PREFIX})
set(DEPS_INCLUDE ${VELMOR_DEPS_PREFIX}/include)
set(DEPS_LIB ${VELMOR_DEPS_PREFIX}/lib)

function(velmor_import_static name file)
  add_library(${name} STATIC IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES
    IMPORTED_LOCATION ${DEPS_LIB}/${file}
    INTERFACE_INCLUDE_DIRECTORIES "${ARGN}")
endfunction()

velmor_import_static(deps::lzo liblzo2.a ${DEPS_INCLUDE})
velmor_import_static(deps::lzma liblzmasdk.a ${DEPS_INCLUDE}/lzma)
set_property(TARGET deps::lzma PROPERTY INTERFACE_COMPILE_DEFINITIONS Z7_ST)
velmor_import_static(deps::jpeg libjpeg.a ${DEPS_INCLUDE})
velmor_import_static(deps::curl libcurl.a ${DEPS_INCLUDE})
set_target_properties(deps::curl PROPERTIES
  INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
  INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;wldap32")
velmor_import_static(deps::gtest libgtest.a ${DEPS_INCLUDE})
velmor_import_static(deps::gmock libgmock.a ${DEPS_INCLUDE})
set_property(TARGET deps::gmock PROPERTY INTERFACE_LINK_LIBRARIES deps::gtest)

# zlib from Debian's libz-mingw-w64-dev, always the static archive.
add_library(deps::zlib STATIC IMPORTED GLOBAL)
set_target_properties(deps::zlib PROPERTIES
  IMPORTED_LOCATION /usr/${MINGW_TRIPLET}/lib/libz.a
  INTERFACE_INCLUDE_DIRECTORIES /usr/${MINGW_TRIPLET}/include)

# rapidxml is header-only; expose only its own folder, never /usr/include.
set(RAPIDXML_DIR ${CMAKE_BINARY_DIR}/rapidxml-include)
file(MAKE_DIRECTORY ${RAPIDXML_DIR})
foreach(h rapidxml.hpp rapidxml_utils.hpp rapidxml_print.hpp rapidxml_iterators.hpp)
  if(EXISTS /usr/include/rapidxml/${h})
    file(COPY /usr/include/rapidxml/${h} DESTINATION ${RAPIDXML_DIR})
  endif()
endforeach()
add_library(deps::rapidxml INTERFACE IMPORTED GLOBAL)
set_target_properties(deps::rapidxml PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${RAPIDXML_DIR})
