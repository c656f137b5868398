# 64-bit Windows build of the same sources, for test beds that cannot run 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TANDREL_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
