# The Windows program's zip: the .exe, the licence and a short Chinese note for the user, in one folder named
# after the package. Included by the top-level CMakeLists.txt in a Windows build; tools/build-windows.sh runs cpack.
install(TARGETS ${APP_EXECUTABLE} RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_LIST_DIR}/使用说明.txt DESTINATION .)

set(CPACK_PACKAGE_NAME ${APP_EXECUTABLE})
set(CPACK_PACKAGE_VERSION ${APP_VERSION})
set(CPACK_PACKAGE_VENDOR ${APP_ORGANIZATION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Score lookup for a teacher-recruitment written exam")
# Named for what it holds: the one 32-bit program that every Windows runs.
set(CPACK_PACKAGE_FILE_NAME ${APP_EXECUTABLE}-${APP_VERSION}-win32)
if(SEAL_ROSTER)
    # The zip and the folder inside it say which program they hold, so that a plain one is not handed out by mistake.
    string(APPEND CPACK_PACKAGE_FILE_NAME -sealed)
endif()
# A SHA-256 file beside the zip (its hash and file name, as sha256sum -c reads them), to publish with it.
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
