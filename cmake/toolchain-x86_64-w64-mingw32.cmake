# Cross build for Windows (x86_64) with MinGW-w64, posix thread model.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
