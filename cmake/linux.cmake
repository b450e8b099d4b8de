# Linux: the posix services and the GTK 3 / WebKitGTK 4.1 / X11 front end.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)

file(GLOB POREMISU_POSIX_SOURCES CONFIGURE_DEPENDS src/platform/posix/*.cpp)
add_library(poremisu_posix STATIC ${POREMISU_POSIX_SOURCES})
target_link_libraries(poremisu_posix PUBLIC poremisu_core)

file(GLOB POREMISU_GTK_SOURCES CONFIGURE_DEPENDS src/platform/gtk/*.cpp)
list(FILTER POREMISU_GTK_SOURCES EXCLUDE REGEX "/(main|WindowModule)\\.cpp$")
add_library(poremisu_gtk STATIC ${POREMISU_GTK_SOURCES})
target_link_libraries(poremisu_gtk PUBLIC poremisu_posix PkgConfig::GTK PkgConfig::WEBKIT PkgConfig::X11 ${CMAKE_DL_LIBS})
# These also go into the window module, a shared object.
set_target_properties(poremisu_core poremisu_posix poremisu_gtk PROPERTIES POSITION_INDEPENDENT_CODE ON)

# The window: GTK and WebKit, loaded by the program only when it runs one.
# Its copy of the core and the services stays private to it.
add_library(poremisu_window MODULE src/platform/gtk/WindowModule.cpp)
target_link_libraries(poremisu_window PRIVATE poremisu_gtk)
target_link_options(poremisu_window PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
set_target_properties(poremisu_window PROPERTIES PREFIX "" OUTPUT_NAME poremisu-window
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR} CXX_VISIBILITY_PRESET hidden)

# The program links the GTK front end as needed only: of it the program uses
# the code page and the X11 window list, so a start that hands its address
# over loads neither GTK nor WebKit.
function(poremisu_program target)
  target_link_libraries(${target} PRIVATE poremisu_gtk)
  target_link_options(${target} PRIVATE -Wl,--as-needed)
  target_compile_definitions(${target} PRIVATE POREMISU_WINDOW_MODULE_DIR="${CMAKE_BINARY_DIR}")
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  add_dependencies(${target} poremisu_window)
endfunction()

add_executable(poremisu src/platform/gtk/main.cpp)
poremisu_program(poremisu)

# A second program from the same sources that honours test-only environment
# variables (POREMISU_TEST_TICK_MS: the idle timer's period). The real
# program never reads them.
option(POREMISU_TEST_HOOKS "Also build poremisu_testhooks for the end-to-end tests" OFF)
if(POREMISU_TEST_HOOKS)
  add_executable(poremisu_testhooks src/platform/gtk/main.cpp)
  poremisu_program(poremisu_testhooks)
  target_compile_definitions(poremisu_testhooks PRIVATE POREMISU_TEST_HOOKS=1)
endif()
