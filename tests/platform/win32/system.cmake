# The Windows system services in one program: the message loop and the file dialog's
# filter (here), and the time format, settings on disk, power and single instance (each
# in the folder of its service, beside the Linux tests).
tolvane_add_test(win32_system_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/win32_event_loop_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32_file_filter_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../locale/win32_locale_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../profile/windows_file_system_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../power/win32_power_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../instance/win32_single_instance_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../volume/win32_output_volume_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../session/win32_session_start_test.cpp
  LIBS tolvane_win32 tolvane_locale tolvane_power tolvane_instance tolvane_text tolvane_profile tolvane_volume tolvane_session)
