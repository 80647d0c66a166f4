# Installation layout and the Debian package. Included by the top-level CMakeLists.txt once the executable exists.
include(GNUInstallDirs)

# The Windows program file carries the version record and the icon.
if(WIN32)
    target_sources(${APP_EXECUTABLE} PRIVATE ${PROJECT_BINARY_DIR}/generated/version.rc)
endif()

install(TARGETS ${APP_EXECUTABLE} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/cuixian-score-query.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/cuixian-score-query.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/cn.cuixian.scorequery.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_PACKAGE_NAME ${APP_EXECUTABLE})
set(CPACK_PACKAGE_VERSION ${APP_VERSION})
set(CPACK_PACKAGE_VENDOR ${APP_ORGANIZATION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Score lookup for a teacher-recruitment written exam")
set(CPACK_PACKAGE_DESCRIPTION "${APP_TITLE}.\n\
Candidates of the 2018 teacher-recruitment written exam of the Cuixian No. 1 Middle School West Campus look up\n\
their name and written-exam score by identity-card number and admission-ticket number. The roster is built into\n\
the program: it needs no network and writes nothing.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_PACKAGE_NAME ${APP_EXECUTABLE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "cuixian-score-query maintainers <maintainers@cuixian-score-query.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries the binary links, with their versions. What the program only loads at run time
# it cannot see, so that is named by hand: the X11 platform plugin, Qt's own Chinese texts, and the CJK face.
set(runtime_loaded "qt6-qpa-plugins, qt6-translations-l10n, fonts-noto-cjk")
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${runtime_loaded}")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libqt6gui6, libqt6core6, libxcb1, ${runtime_loaded}")
endif()
include(CPack)
