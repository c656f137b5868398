# 32-bit Windows: the program we ship.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TANDREL_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
