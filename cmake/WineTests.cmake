# Test binaries are Windows programs: CTest runs them through Wine with the
# build tree's own prefix. Discovery happens at test time (PRE_TEST), so the
# build itself never starts Wine.
include(GoogleTest)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VELMOR_WINE /usr/lib/wine/wine64)
  set(VELMOR_WINEARCH win64)
else()
  set(VELMOR_WINE /usr/lib/wine/wine)
  set(VELMOR_WINEARCH win32)
endif()
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-env.sh.in ${CMAKE_BINARY_DIR}/wine-env.sh @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
set(VELMOR_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)

# velmor_add_gtest(<name> SOURCES ... [LIBS ...])
# One GoogleTest binary for one area, with the shared test main.
function(velmor_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE velmor_test_main ${T_LIBS})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300 LABELS ${name})
endfunction()

# velmor_add_host_gtest(<name> SOURCES ... [LIBS ...])
# A test binary of a host: the shared main without the library's internals.
function(velmor_add_host_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE velmor_host_test_main ${T_LIBS})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300 LABELS ${name})
endfunction()
