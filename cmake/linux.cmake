# Linux: the posix services and the GTK 3 / WebKitGTK 4.1 / X11 front end.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)

file(GLOB POREMISU_POSIX_SOURCES CONFIGURE_DEPENDS src/platform/posix/*.cpp)
add_library(poremisu_posix STATIC ${POREMISU_POSIX_SOURCES})
target_link_libraries(poremisu_posix PUBLIC poremisu_core)

file(GLOB POREMISU_GTK_SOURCES CONFIGURE_DEPENDS src/platform/gtk/*.cpp)
list(FILTER POREMISU_GTK_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(poremisu_gtk STATIC ${POREMISU_GTK_SOURCES})
target_link_libraries(poremisu_gtk PUBLIC poremisu_posix PkgConfig::GTK PkgConfig::WEBKIT PkgConfig::X11 ${CMAKE_DL_LIBS})

add_executable(poremisu src/platform/gtk/main.cpp)
target_link_libraries(poremisu PRIVATE poremisu_gtk)
set_target_properties(poremisu PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The user's help goes beside the program, where the Help command opens it.
add_custom_command(TARGET poremisu POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different
          ${CMAKE_SOURCE_DIR}/resources/readme.txt ${CMAKE_BINARY_DIR}/readme.txt)

# A second program from the same sources that honours test-only environment
# variables (POREMISU_TEST_TICK_MS: the idle timer's period). The real
# program never reads them.
option(POREMISU_TEST_HOOKS "Also build poremisu_testhooks for the end-to-end tests" OFF)
if(POREMISU_TEST_HOOKS)
  add_executable(poremisu_testhooks src/platform/gtk/main.cpp)
  target_link_libraries(poremisu_testhooks PRIVATE poremisu_gtk)
  target_compile_definitions(poremisu_testhooks PRIVATE POREMISU_TEST_HOOKS=1)
  set_target_properties(poremisu_testhooks PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  add_custom_command(TARGET poremisu_testhooks POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_SOURCE_DIR}/resources/readme.txt ${CMAKE_BINARY_DIR}/readme.txt)
endif()
