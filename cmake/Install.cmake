# What `cmake --install` puts under the prefix, and the Debian package CPack makes of it:
# the program, its desktop entry, its icon and its documents, nothing else (no test
# programs, benchmarks or the static library).
include(GNUInstallDirs)

install(TARGETS tavrell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/tavrell.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/tavrell.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/tavrell-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tavrell.png)
endforeach()

# What Debian asks of every package: the copyright, the changelog and the manual page, the
# last two compressed without a time stamp so that the same sources make the same package.
set(TAVRELL_DEB_RELEASE 1)
set(TAVRELL_DEB_VERSION ${PROJECT_VERSION}-${TAVRELL_DEB_RELEASE})
configure_file(${CMAKE_SOURCE_DIR}/data/debian/changelog.Debian.in
  ${CMAKE_BINARY_DIR}/debian/changelog.Debian @ONLY)
set(TAVRELL_DOCS ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz ${CMAKE_BINARY_DIR}/debian/tavrell.1.gz)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
  COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/debian/changelog.Debian > ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.Debian VERBATIM)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/tavrell.1.gz
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/data/debian/tavrell.1 > ${CMAKE_BINARY_DIR}/debian/tavrell.1.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/data/debian/tavrell.1 VERBATIM)
add_custom_target(tavrell_docs ALL DEPENDS ${TAVRELL_DOCS})
add_dependencies(tavrell tavrell_docs)
install(FILES ${CMAKE_SOURCE_DIR}/data/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrell)
install(FILES ${CMAKE_BINARY_DIR}/debian/tavrell.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/data/debian/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tavrell)

set(CPACK_PACKAGE_NAME tavrell)
set(CPACK_PACKAGE_VENDOR "Tavrell")
set(CPACK_PACKAGE_CONTACT "Tavrell maintainers <tavrell@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "office equipment and repair records")
# Lines of the long description stay within 80 characters with the blank dpkg puts before them.
set(CPACK_PACKAGE_DESCRIPTION "Tavrell keeps account of an organisation's office equipment: the
register of printers, scanners and copiers, their repairs, service requests,
reports and an archive. The interface is Russian. It works on its own embedded
SQLite database, or several copies share one PostgreSQL server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Packaged apart from the sources: the Debian revision follows the program's version.
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TAVRELL_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The linked libraries (Qt, SQLite, the C++ runtime) come from dpkg-shlibdeps; the plugins
# Qt loads at run time are invisible to it: the SQL drivers and the platform plugins that
# show the windows.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, qt6-qpa-plugins")
# Qt's own texts (message-box buttons, the font, colour and file dialogs) in Russian; the
# program runs without them, with those texts in English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
