# The Windows downloads: `cpack` in the cross build gives tolvane-<version>-win64.zip
# (tolvane.exe with its read-me, to unpack anywhere) and, when NSIS's makensis is
# installed, tolvane-<version>-win64.exe, an installer that puts Tolvane in Program Files
# with a Start-menu shortcut and an uninstaller. Included once the program target exists.

install(TARGETS tolvane RUNTIME DESTINATION .)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/windows/README.txt DESTINATION .)

set(CPACK_PACKAGE_NAME Tolvane)
set(CPACK_PACKAGE_VENDOR "Tolvane developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop alarm clock with sound and reminder")
set(CPACK_PACKAGE_FILE_NAME tolvane-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tolvane)
set(CPACK_PACKAGE_EXECUTABLES tolvane Tolvane)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR ZIP)

find_program(TOLVANE_MAKENSIS makensis)
if(TOLVANE_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
  set(CPACK_NSIS_EXECUTABLE ${TOLVANE_MAKENSIS})
  set(CPACK_NSIS_DISPLAY_NAME Tolvane)
  set(CPACK_NSIS_PACKAGE_NAME Tolvane)
  set(CPACK_NSIS_INSTALLED_ICON_NAME tolvane.exe)
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  set(CPACK_NSIS_MUI_FINISHPAGE_RUN tolvane.exe)
  set(CPACK_NSIS_MODIFY_PATH OFF)
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  # A 64-bit installer for a 64-bit program: it runs where only 64-bit Windows programs
  # can, and puts Tolvane in the 64-bit Program Files.
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(TOLVANE_WINDOWS_ICON ${CMAKE_BINARY_DIR}/resources/windows/tolvane.ico)
  if(EXISTS ${TOLVANE_WINDOWS_ICON} OR TARGET tolvane_windows_icon)
    set(CPACK_NSIS_MUI_ICON ${TOLVANE_WINDOWS_ICON})
    set(CPACK_NSIS_MUI_UNIICON ${TOLVANE_WINDOWS_ICON})
  endif()
endif()

include(CPack)
