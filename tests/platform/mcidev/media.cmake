# The media devices on the system's own MCI, run against Wine's wave device with a
# sound server to play into (below), so they are not listed one by one.
add_library(tolvane_mci_script STATIC ${CMAKE_CURRENT_LIST_DIR}/mci_script.cpp)
target_link_libraries(tolvane_mci_script PUBLIC tolvane_sys tolvane_mci_interface tolvane_test_headers)

add_executable(win32_media_tests ${CMAKE_CURRENT_LIST_DIR}/winmm_test.cpp)
target_link_libraries(win32_media_tests PRIVATE tolvane_mcidev tolvane_mci_script winmm tolvane_test_headers
                      GTest::gtest GTest::gtest_main)

# The parity check: the same wave script sent to the system's wave device (Wine's,
# here) and to ours, built by the Linux build that TOLVANE_LINUX_BUILD names (the Makefile
# names build/). Skipped when either side cannot run.
add_executable(mci_script_win ${CMAKE_CURRENT_LIST_DIR}/mci_script_win.cpp)
target_link_libraries(mci_script_win PRIVATE tolvane_mcidev tolvane_mci_script winmm)
set(TOLVANE_LINUX_BUILD "" CACHE PATH "The Linux build whose wave device the parity check compares")

# Wine's wave device plays into a private sound server's null sink. A test that still
# finds no output shows as skipped, as does the whole run where the server is missing.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME win32_media_sound COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/ci/mci_parity.py
    --run-with-sink ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:win32_media_tests>)
  set_tests_properties(win32_media_sound PROPERTIES LABELS integration RUN_SERIAL TRUE TIMEOUT 180
                       SKIP_RETURN_CODE 77 SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
  add_test(NAME mci_parity COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/ci/mci_parity.py
    --ours "${TOLVANE_LINUX_BUILD}/tests/platform/mcidev/mci_script_linux"
    --theirs $<TARGET_FILE:mci_script_win>
    --wine ${CMAKE_CROSSCOMPILING_EMULATOR})
  set_tests_properties(mci_parity PROPERTIES LABELS integration RUN_SERIAL TRUE TIMEOUT 180 SKIP_RETURN_CODE 77)
endif()
