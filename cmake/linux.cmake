# Linux: the posix services and the GTK 3 / WebKitGTK 4.1 / X11 front end.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK REQUIRED IMPORTED_TARGET gtk+-3.0)
pkg_check_modules(WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)

file(GLOB POREMISU_POSIX_SOURCES CONFIGURE_DEPENDS src/platform/posix/*.cpp)
add_library(poremisu_posix STATIC ${POREMISU_POSIX_SOURCES})
target_link_libraries(poremisu_posix PUBLIC poremisu_core)

# The program (src/platform/x11): settings, the one instance and the hand-off
# over the X11 window list. It names no GTK or WebKit header and gets no
# include path of theirs, so a start that hands its address over loads
# neither.
file(GLOB POREMISU_X11_SOURCES CONFIGURE_DEPENDS src/platform/x11/*.cpp)
list(FILTER POREMISU_X11_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(poremisu_x11 STATIC ${POREMISU_X11_SOURCES})
target_link_libraries(poremisu_x11 PUBLIC poremisu_posix PkgConfig::X11)

# The window (src/platform/gtk): GTK and WebKit, loaded by the program only
# when it runs one. Its copy of the core and the services stays private to it.
file(GLOB POREMISU_GTK_SOURCES CONFIGURE_DEPENDS src/platform/gtk/*.cpp)
list(FILTER POREMISU_GTK_SOURCES EXCLUDE REGEX "/WindowModule\\.cpp$")
add_library(poremisu_gtk STATIC ${POREMISU_GTK_SOURCES})
# The window icon's PNG images, compiled in.
add_dependencies(poremisu_gtk poremisu_icon)
target_include_directories(poremisu_gtk PRIVATE ${POREMISU_ICON_DIR})
target_link_libraries(poremisu_gtk PUBLIC poremisu_posix PkgConfig::GTK PkgConfig::WEBKIT PkgConfig::X11 ${CMAKE_DL_LIBS})
# These also go into the window module, a shared object.
set_target_properties(poremisu_core poremisu_posix poremisu_gtk PROPERTIES POSITION_INDEPENDENT_CODE ON)

add_library(poremisu_window MODULE src/platform/gtk/WindowModule.cpp)
target_link_libraries(poremisu_window PRIVATE poremisu_gtk)
target_link_options(poremisu_window PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
set_target_properties(poremisu_window PROPERTIES PREFIX "" OUTPUT_NAME poremisu-window
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR} CXX_VISIBILITY_PRESET hidden)

function(poremisu_program target)
  target_link_libraries(${target} PRIVATE poremisu_x11 ${CMAKE_DL_LIBS})
  target_compile_definitions(${target} PRIVATE POREMISU_WINDOW_MODULE_DIR="${CMAKE_BINARY_DIR}")
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  add_dependencies(${target} poremisu_window)
endfunction()

add_executable(poremisu src/platform/x11/main.cpp)
poremisu_program(poremisu)

# A second program from the same sources that honours test-only environment
# variables (POREMISU_TEST_TICK_MS: the idle timer's period). The real
# program never reads them.
option(POREMISU_TEST_HOOKS "Also build poremisu_testhooks for the end-to-end tests" OFF)
if(POREMISU_TEST_HOOKS)
  add_executable(poremisu_testhooks src/platform/x11/main.cpp)
  poremisu_program(poremisu_testhooks)
  target_compile_definitions(poremisu_testhooks PRIVATE POREMISU_TEST_HOOKS=1)
endif()

# cmake --install, to any prefix: the program, its window module and readme.txt
# together in <libdir>/poremisu (the program finds them beside itself), a link
# to the program in <bindir>, the icon in the hicolor theme and a .desktop file
# that offers the program as the desktop's web browser. Where the program's
# folder is not writable, its settings and history go to the user's XDG folders.
include(GNUInstallDirs)
set(POREMISU_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/poremisu)
install(TARGETS poremisu RUNTIME DESTINATION ${POREMISU_INSTALL_DIR})
install(TARGETS poremisu_window LIBRARY DESTINATION ${POREMISU_INSTALL_DIR})
install(FILES resources/readme.txt DESTINATION ${POREMISU_INSTALL_DIR})
# What software centres read (the manual pages go with the package's files).
string(TIMESTAMP POREMISU_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(resources/poremisu.metainfo.xml.in ${CMAKE_BINARY_DIR}/org.poremisu.poremisu.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/org.poremisu.poremisu.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48)
  install(FILES ${POREMISU_ICON_DIR}/poremisu-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME poremisu.png)
endforeach()
file(RELATIVE_PATH POREMISU_LINK_TARGET /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${POREMISU_INSTALL_DIR}/poremisu)
# The prefix is the one given to cmake --install, known only when it runs.
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(REMOVE \"\${bin}/poremisu\")
  file(CREATE_LINK \"${POREMISU_LINK_TARGET}\" \"\${bin}/poremisu\" SYMBOLIC)
  message(STATUS \"Installing: \${bin}/poremisu\")
  set(POREMISU_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/poremisu\")
  # Quoted only where the path needs it: some openers (xdg-open of xdg-utils
  # 1.1.3) cannot run a quoted Exec.
  if(NOT POREMISU_EXEC MATCHES \"^[A-Za-z0-9/._+-]+$\")
    set(POREMISU_EXEC \"\\\"\${POREMISU_EXEC}\\\"\")
  endif()
  configure_file(\"${CMAKE_SOURCE_DIR}/resources/poremisu.desktop.in\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/poremisu.desktop\" @ONLY)
  message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/poremisu.desktop\")
")
