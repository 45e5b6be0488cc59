# Where an installed client keeps its files, and the Debian package made
# of them by CPack.
include(GNUInstallDirs)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/PTZSetup_New
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ambro)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/ambro.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/ambro.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/ambro.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/ambro.1 ${PROJECT_SOURCE_DIR}/docs/man/ambro-cli.1
              ${PROJECT_SOURCE_DIR}/docs/man/ambro-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ambro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ambro maintainers <maintainers@users.noreply.c-seed-e1c120f4.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Client for digital video recorders and network video servers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Watches the live cameras of digital video recorders and network video servers\n\
 of both server generations, moves their domes, forces their outputs, reports\n\
 their alarms, plays their recordings and saves snapshots. Brings the desktop\n\
 client ambro, the headless client ambro-cli and the simulated installation\n\
 ambro-sim.")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
