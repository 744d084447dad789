# What `cmake --install` puts under the prefix, and the Debian package CPack makes of it:
# the program, its desktop entry and its icon, nothing else (no test programs, benchmarks
# or the static library).
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

set(CPACK_PACKAGE_NAME tavrell)
set(CPACK_PACKAGE_VENDOR "Tavrell")
set(CPACK_PACKAGE_CONTACT "Tavrell maintainers <tavrell@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "office equipment and repair records")
set(CPACK_PACKAGE_DESCRIPTION "Tavrell keeps account of an organisation's office equipment: the register of
printers, scanners and copiers, their repairs, service requests, reports and an
archive. The interface is Russian. It works on its own embedded SQLite database,
or several copies share one PostgreSQL server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
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
