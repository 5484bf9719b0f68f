# Builds two targets made from the same source: PLAIN_TARGET must build, and
# REACHING_TARGET, which adds one include, must fail on exactly that include: the
# compiler names SOURCE and says HEADER is not found. Any other outcome fails.
#   cmake -D BUILD_DIR=... -D PLAIN_TARGET=... -D REACHING_TARGET=... -D SOURCE=file.cpp
#         -D HEADER=dir/file.h -P expect_missing_header.cmake
foreach(name BUILD_DIR PLAIN_TARGET REACHING_TARGET SOURCE HEADER)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "${name} is not given")
  endif()
endforeach()

function(build target)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(status ${status} PARENT_SCOPE)
  set(output "${output}" PARENT_SCOPE)
endfunction()

build(${PLAIN_TARGET})
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PLAIN_TARGET} does not build, so the failure of ${REACHING_TARGET} "
                      "would prove nothing:\n${output}")
endif()

build(${REACHING_TARGET})
if(status EQUAL 0)
  message(FATAL_ERROR "${REACHING_TARGET} built: ${SOURCE} could include ${HEADER}, "
                      "a header its layer must not reach")
endif()

# Colours, where the compiler is told to use them, would split the message apart.
string(ASCII 27 escape)
string(REGEX REPLACE "${escape}\\[[0-9;]*[mK]" "" output "${output}")
# GCC:   .../file.cpp:8:10: fatal error: dir/file.h: No such file or directory
# Clang: .../file.cpp:8:10: fatal error: 'dir/file.h' file not found
string(REPLACE "." "\\." source_pattern "${SOURCE}")
string(REPLACE "." "\\." header_pattern "${HEADER}")
if(NOT output MATCHES "${source_pattern}:[0-9]+:[0-9]+: fatal error: '?${header_pattern}'?(: No such file or directory| file not found)")
  message(FATAL_ERROR "${REACHING_TARGET} failed, but not because ${HEADER} was not found:\n${output}")
endif()
message(STATUS "${REACHING_TARGET} fails as it should: ${HEADER} is not found from ${SOURCE}")
