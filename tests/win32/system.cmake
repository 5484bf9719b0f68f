# The Windows system services: time format, message loop, settings on disk, power,
# single instance and the file dialog's filter.
tolvane_add_test(win32_system_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/system_test.cpp
  LIBS tolvane_win32 tolvane_profile)
target_compile_definitions(win32_system_tests PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
