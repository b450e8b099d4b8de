# The manual pages and the Debian package (scripts/package): the files cmake --install puts under
# /usr, the copyright and the changelog, dependencies found by dpkg-shlibdeps,
# stripped binaries, and the x-www-browser alternative set and removed by the
# maintainer scripts.
# Manual pages go compressed, as Debian's do.
foreach(page poremisu.1 poremisu.ja.1)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${page}.gz
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/resources/man/${page} > ${CMAKE_BINARY_DIR}/${page}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/man/${page})
endforeach()
add_custom_target(poremisu_manual ALL DEPENDS ${CMAKE_BINARY_DIR}/poremisu.1.gz ${CMAKE_BINARY_DIR}/poremisu.ja.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/poremisu.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/poremisu.ja.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1 RENAME poremisu.1.gz)
configure_file(resources/debian/changelog ${CMAKE_BINARY_DIR}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.Debian.gz
  COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/changelog.Debian > ${CMAKE_BINARY_DIR}/changelog.Debian.gz
  DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian)
add_custom_target(poremisu_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
install(FILES resources/debian/copyright ${CMAKE_BINARY_DIR}/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME poremisu)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Packaged apart from the sources' own release: a Debian revision of its own.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "poremisu developers <poremisu@users.noreply.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The page process runs in bubblewrap's sandbox.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "bubblewrap, xdg-dbus-proxy")
set(CPACK_DEBIAN_PACKAGE_PROVIDES www-browser)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small web browser window holding only the page and its title")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "One window shows a web page with WebKitGTK, with no menu bar, address bar
 or status bar until they are asked for, and the page's name in the title.
 Every page seen is appended to a history page, local folders are shown as
 pages of links, and pop-ups open in the same window. A later start hands
 its address to the running window.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/resources/debian/postinst ${CMAKE_SOURCE_DIR}/resources/debian/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
