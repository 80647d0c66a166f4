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
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
