# Windows: the Win32 services, the dialog front end hosting the system's
# web-browser control, and the resources. Cross-built with MinGW-w64 (see
# cmake/toolchain-*.cmake); scripts/build-win32 builds both targets.
enable_language(RC)

file(GLOB POREMISU_WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
list(FILTER POREMISU_WIN32_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(poremisu_win32 STATIC ${POREMISU_WIN32_SOURCES})
target_include_directories(poremisu_win32 PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/resources)
target_compile_definitions(poremisu_win32 PUBLIC NOMINMAX STRICT _WIN32_WINNT=0x0601 WINVER=0x0601
                           _WIN32_IE=0x0800)
target_link_libraries(poremisu_win32 PUBLIC poremisu_core
                      ole32 oleaut32 uuid comctl32 shell32 user32 gdi32 kernel32)

# The Windows sources keep their narrow literals ASCII: every Japanese text
# reaches the A functions in the ANSI code page, from the resources or from
# the core's texts converted at start. (-fexec-charset=CP932 is no way out:
# libstdc++'s <chrono> holds a literal that Shift-JIS cannot encode.)

add_executable(poremisu WIN32 src/platform/win32/main.cpp resources/poremisu.rc)
target_link_libraries(poremisu PRIVATE poremisu_win32)
target_link_options(poremisu PRIVATE -static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
set_target_properties(poremisu PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# The resource compiler reads the UTF-8 script; the icon, drawn by the build,
# is found on the include path.
set_source_files_properties(resources/poremisu.rc PROPERTIES COMPILE_FLAGS "-c 65001")
set_property(SOURCE resources/poremisu.rc APPEND PROPERTY OBJECT_DEPENDS
             ${POREMISU_ICON_DIR}/poremisu.ico ${CMAKE_CURRENT_SOURCE_DIR}/resources/resource.h)
add_dependencies(poremisu poremisu_icon)
target_include_directories(poremisu PRIVATE ${POREMISU_ICON_DIR})

# The dialog's version text comes from project(VERSION) through a generated header.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/poremisu_version.h
     CONTENT "#define POREMISU_VERSION_TEXT \"@PROJECT_VERSION@\"\n" @ONLY)
target_include_directories(poremisu PRIVATE ${CMAKE_BINARY_DIR}/generated)

# GoogleTest is not packaged for MinGW: build it from Debian's sources with
# the cross compiler, and let find_package(GTest) in the tests take these
# targets.
option(POREMISU_WIN32_TESTS "Build the Windows tests and their helper programs" ON)
set(POREMISU_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build with the cross compiler")
if((POREMISU_TESTS OR POREMISU_WIN32_TESTS) AND EXISTS ${POREMISU_GTEST_SOURCE_DIR}/CMakeLists.txt)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${POREMISU_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(POREMISU_GTEST_CONFIG_DIR ${CMAKE_BINARY_DIR}/gtest-config)
  file(WRITE ${POREMISU_GTEST_CONFIG_DIR}/GTestConfig.cmake
    "# GoogleTest is built in this tree; its targets already exist.\nset(GTest_FOUND TRUE)\n")
  set(GTest_DIR ${POREMISU_GTEST_CONFIG_DIR} CACHE PATH "" FORCE)
  if(POREMISU_WIN32_TESTS)
    add_subdirectory(tests/win32 ${CMAKE_BINARY_DIR}/win32-tests)
  endif()
endif()
