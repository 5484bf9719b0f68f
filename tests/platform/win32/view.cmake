# The view in native windows under wine64, which needs an X display: each run gets a
# private Xvfb through with_display.sh, and is skipped where there is none.
add_executable(win32_view_tests ${CMAKE_CURRENT_LIST_DIR}/view_test.cpp)
target_link_libraries(win32_view_tests PRIVATE tolvane_win32 tolvane_forms tolvane_fakes tolvane_test_headers
                      GTest::gtest GTest::gtest_main)
if(CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME win32_view_tests COMMAND ${CMAKE_CURRENT_LIST_DIR}/with_display.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                                         $<TARGET_FILE:win32_view_tests>)
  set_tests_properties(win32_view_tests PROPERTIES LABELS unit TIMEOUT 120 SKIP_RETURN_CODE 77)
endif()

# Shows both windows for a look or a screenshot: show_forms.exe [seconds].
add_executable(win32_show_forms ${CMAKE_CURRENT_LIST_DIR}/show_forms.cpp)
target_link_libraries(win32_show_forms PRIVATE tolvane_winres tolvane_win32 tolvane_forms tolvane_fakes tolvane_test_headers)
