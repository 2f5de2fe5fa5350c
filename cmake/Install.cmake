# What `cmake --install` puts where, and the Debian package made of it
# (`cpack -G DEB`, or scripts/package). The program and its posting template
# are installed by src/; here the desktop integration and the tools.
#   bin/tarnvik, bin/tarnvik-forumsim, bin/zbmconv
#   share/tarnvik/Response.html, share/tarnvik/Werkstattwoerter.txt
#   share/applications/<id>.desktop, share/metainfo/<id>.metainfo.xml
#   share/icons/hicolor/scalable/apps/<id>.svg

# The substitute forum belongs to the product: the program is built for it
# unless other servers are configured, and a user tries the program with it.
install(TARGETS tarnvik-forumsim zbmconv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/resources/spelling/Werkstattwoerter.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnvik)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/${TARNVIK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${PROJECT_SOURCE_DIR}/resources/desktop/${TARNVIK_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/${TARNVIK_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${TARNVIK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/app/${TARNVIK_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnvik)
set(CPACK_PACKAGE_VENDOR "Tarnvik")
set(CPACK_PACKAGE_CONTACT "Tarnvik <tarnvik@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Client for a German-language woodworkers' forum")
set(CPACK_PACKAGE_DESCRIPTION
  "Shows the forum in an embedded browser and adds one key per section, thread-aware answers, a post editor for the forum's markup and a preview through the forum's posting form. Comes with tarnvik-forumsim, a substitute forum server on loopback for trying it out.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The libraries the programs link come from dpkg-shlibdeps (the engine's
# helper process comes with its library); what the engine loads at run time
# it cannot see: Qt's German texts, only recommended by Qt's libraries, the
# engine's locale files (German error pages) and libsecret, which the
# keychain library opens by name. A secret service to keep the password in
# is recommended; without one the password stays in the settings file. Qt's
# SQLite driver, which holds the watched threads and the archive, is a
# plug-in loaded by name as well.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-translations-l10n, libqt6webengine6-data, libsecret-1-0, libqt6sql6-sqlite")
# The title strip asks for Arial; these fonts stand in for it. Without a
# German dictionary the editor works without its spelling.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, gnome-keyring, hunspell-de-de-frami | hunspell-de-de")
include(CPack)
