# Installation layout and the Debian package of the Linux program. Included by the top-level CMakeLists.txt once the
# executable exists (the Windows zip: resources/windows/packaging.cmake).
include(GNUInstallDirs)

install(TARGETS ${APP_EXECUTABLE} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/cuixian-score-query.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/cuixian-score-query.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/cn.cuixian.scorequery.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian's documentation layout: the copyright file as it is, the changelog of a native package and the manual
# pages compressed with gzip -9n (no name or time stamp in the header, so that rebuilds are identical).
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${APP_EXECUTABLE})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright DESTINATION ${doc_dir})
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(compressed_docs)
foreach(doc IN ITEMS debian/changelog man/cuixian-score-query.1 man/zh_CN/cuixian-score-query.1)
    set(plain ${PROJECT_BINARY_DIR}/packaging/${doc})
    set(compressed ${plain}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/${doc} ${plain}
        COMMAND ${GZIP_EXECUTABLE} -9nf ${plain}
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${doc}
        VERBATIM)
    list(APPEND compressed_docs ${compressed})
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${compressed_docs})
install(FILES ${PROJECT_BINARY_DIR}/packaging/debian/changelog.gz DESTINATION ${doc_dir})
install(FILES ${PROJECT_BINARY_DIR}/packaging/man/cuixian-score-query.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/packaging/man/zh_CN/cuixian-score-query.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/zh_CN/man1)

set(CPACK_PACKAGE_NAME ${APP_EXECUTABLE})
set(CPACK_PACKAGE_VERSION ${APP_VERSION})
set(CPACK_PACKAGE_VENDOR ${APP_ORGANIZATION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Score lookup for a teacher-recruitment written exam")
# Debian wraps the extended description at 80 columns; each line here is one line of it.
set(CPACK_PACKAGE_DESCRIPTION "${APP_TITLE}.
Candidates of the 2018 teacher-recruitment written exam of the Cuixian
No. 1 Middle School West Campus look up their name and written-exam score
by identity-card number and admission-ticket number. The roster is built
into the program: it needs no network and writes nothing.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
# Symbols and debug information stay in the build tree; the package carries the stripped program.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME ${APP_EXECUTABLE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
if(SEAL_ROSTER)
    # The file name says which program it holds, so that a plain package is not handed out by mistake; the package
    # inside keeps its name and replaces the plain one where that was installed.
    execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE deb_architecture
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    set(CPACK_DEBIAN_FILE_NAME ${APP_EXECUTABLE}-sealed_${APP_VERSION}_${deb_architecture}.deb)
endif()
# A SHA-256 file beside the package (its hash and file name, as sha256sum -c reads them), to publish with it.
set(CPACK_PACKAGE_CHECKSUM SHA256)
# The project has no mailbox. The reserved .invalid domain says so, where a made-up address could reach a stranger;
# whoever distributes the package under their own name puts their address here and in debian/changelog.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "cuixian-score-query maintainers <maintainers@cuixian-score-query.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries the binary links, with their versions; the X11 platform plugin comes with
# libqt6gui6. What the program only loads at run time it cannot see, so that is named by hand: Qt's own Chinese
# texts, the Ming face that stands in for 宋体 and the Noto CJK faces for 黑体 and every other character.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-arphic-uming, fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
    include(CPack)
else()
    # Without it the package would lack every library it links.
    message(STATUS "dpkg-shlibdeps (package dpkg-dev) not found: no Debian package")
endif()
