# The Windows sources hand their narrow literals to the A functions, which
# read them in the ANSI code page: a UTF-8 byte sequence there would show as
# garbage. Japanese texts come from the resources or from the core's texts.
#     cmake -DSOURCE_DIR=src/platform/win32 -P check_ascii_sources.cmake
file(GLOB sources ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
if(NOT sources)
  message(FATAL_ERROR "no sources in ${SOURCE_DIR}")
endif()
foreach(source IN LISTS sources)
  file(READ ${source} hex HEX)
  # A byte of 0x80 or above, found at a byte boundary of the hex text.
  string(REGEX MATCH "^(..)*[89a-f][0-9a-f]" before "${hex}")
  if(before)
    string(LENGTH "${before}" length)
    math(EXPR offset "(${length} - 2) / 2")
    string(APPEND failed "\n  ${source}: byte ${offset}")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "bytes outside ASCII in the Windows sources:${failed}")
endif()
