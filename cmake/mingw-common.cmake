# Shared part of the mingw-w64 toolchain files (win32 thread model).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER  ${MINGW_TRIPLET}-windres)
set(CMAKE_AR           /usr/bin/${MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Only the mingw sysroot and our dependency cache are searched for libraries
# and headers; the host's /usr/include must never leak into a target build.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One Windows version for the project and every dependency: Windows XP.
set(VELMOR_WIN32_WINNT 0x0501)
set(CMAKE_C_FLAGS_INIT   "-D_WIN32_WINNT=${VELMOR_WIN32_WINNT} -DWINVER=${VELMOR_WIN32_WINNT}")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=${VELMOR_WIN32_WINNT} -DWINVER=${VELMOR_WIN32_WINNT}")

# No mingw DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
