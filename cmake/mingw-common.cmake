# Shared part of the MinGW-w64 toolchain files (posix threads, static runtime).
set(CMAKE_SYSTEM_NAME Windows)
set(TOOLCHAIN_PREFIX ${TANDREL_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

# Cross-built dependencies (tools/setup.sh): libpng and GoogleTest.
if(DEFINED ENV{TANDREL_DEPS_ROOT})
  set(TANDREL_DEPS_PREFIX "$ENV{TANDREL_DEPS_ROOT}/${TANDREL_ARCH}")
else()
  set(TANDREL_DEPS_PREFIX "/opt/tandrel-deps/${TANDREL_ARCH}")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX} ${TANDREL_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the test programs through Wine inside the test bed (tools/testbed.sh).
if(NOT TANDREL_NO_EMULATOR)
  get_filename_component(_tandrel_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${_tandrel_root}/tools/wine-run.sh")
endif()
