# The media devices on the system's own MCI: run against Wine's wave device, skipped
# where Wine has no wave output.
add_library(tolvane_mci_script STATIC ${CMAKE_CURRENT_SOURCE_DIR}/mci_script.cpp)
target_link_libraries(tolvane_mci_script PUBLIC tolvane_ui tolvane_mci_interface tolvane_test_headers)

tolvane_add_test(win32_media_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/winmm_test.cpp
  LIBS tolvane_winmm tolvane_mci_script winmm)

# The wave script for the parity check, which the Linux build runs under wine64.
add_executable(mci_script_win ${CMAKE_CURRENT_SOURCE_DIR}/mci_script_win.cpp)
target_link_libraries(mci_script_win PRIVATE tolvane_winmm tolvane_mci_script winmm)
