# Installation layout and the Debian package (cpack -G DEB in the build folder).
include(GNUInstallDirs)

install(TARGETS calvestra calvestra-account calvestra-measure RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET calvestra-service)
  install(TARGETS calvestra-service RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(_pkg ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${_pkg}/it.vantrel.Calvestra.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg}/it.vantrel.Calvestra.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/calvestra.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/calvestra.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# udev and systemd read their folders under /usr/lib on Debian.
install(FILES ${_pkg}/70-calvestra-calvimetro.rules DESTINATION lib/udev/rules.d)
install(FILES ${_pkg}/calvestra-service.service DESTINATION lib/systemd/system)
install(FILES ${CMAKE_SOURCE_DIR}/docs/service-deployment.md ${CMAKE_SOURCE_DIR}/README.md ${CALVESTRA_GUIDE_HTML}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/calvestra)
# The guide calvestra-service serves at the manual's address: <bin>/../share/calvestra/.
install(FILES ${CALVESTRA_GUIDE_PDF} DESTINATION ${CMAKE_INSTALL_DATADIR}/calvestra)

set(CPACK_PACKAGE_NAME "calvestra")
set(CPACK_PACKAGE_VENDOR "Vantrel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop application of the calvimetro ultrasound fat-thickness scanner")
set(CPACK_PACKAGE_CONTACT "Vantrel <support@vantrel.it>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6network6 (>= 6.4), \
libqt6sql6 (>= 6.4), libqt6sql6-sqlite (>= 6.4), libqt6dbus6 (>= 6.4), libqt6charts6 (>= 6.4), qt6-qpa-plugins, \
libqt6keychain1, libusb-1.0-0, libzip4, libsqlite3-0, libcpp-httplib0.11, libssl3")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_GENERATOR "DEB")
include(CPack)
