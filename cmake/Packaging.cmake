# The Debian package: `cpack -G DEB` in a Release build gives tolvane_<version>_amd64.deb
# with the program (stripped), its desktop entry, icons, metainfo, manual page, and the
# changelog and copyright files a Debian package carries. Included once the program
# target exists.

set(TOLVANE_MAINTAINER "Tolvane developers <tolvane@users.noreply.github.com>")

# The manual page and the changelog go in compressed, without a time stamp, so the
# package is the same from build to build.
find_program(TOLVANE_GZIP gzip REQUIRED)
set(packaging_sources ${CMAKE_CURRENT_LIST_DIR}/debian)
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
set(compressed)
foreach(pair "${PROJECT_SOURCE_DIR}/docs/tolvane.1|tolvane.1.gz" "${packaging_sources}/changelog|changelog.gz")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 name)
  add_custom_command(
    OUTPUT ${packaging_out}/${name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}
    COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${TOLVANE_GZIP} ${source} ${packaging_out}/${name}
    DEPENDS ${source}
    VERBATIM)
  list(APPEND compressed ${packaging_out}/${name})
endforeach()
add_custom_target(tolvane_package_docs ALL DEPENDS ${compressed})

# The changelog's latest entry names the version being packaged.
file(STRINGS ${packaging_sources}/changelog latest LIMIT_COUNT 1)
if(NOT latest MATCHES "^tolvane \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog does not start with an entry for ${PROJECT_VERSION}: ${latest}")
endif()

install(FILES ${packaging_out}/tolvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_out}/changelog.gz ${packaging_sources}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tolvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VENDOR "Tolvane developers")
set(CPACK_PACKAGE_CONTACT "${TOLVANE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop alarm clock with sound and reminder")
# Debian wants the long description in lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Tolvane shows the time of day in large digits and rings one alarm at the\n"
       "time you set: a track of a music CD, a WAV file or a MIDI file, a reminder\n"
       "box, or both. It can switch the alarm off after it has rung, keeps the\n"
       "computer from suspending while the alarm is armed, and rings a tone of its\n"
       "own, saying why, when the chosen sound cannot play.")
set(CPACK_STRIP_FILES ON)
# A stripped program still carries the compiler's version notes; the package leaves
# them out, as Debian's own packaging tools do.
if(CMAKE_OBJCOPY)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tolvane\")
  endif()")
endif()
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TOLVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The MIDI synthesizer library is opened only when a MIDI file plays, and the toolkit's
# X11 platform plugin when the program starts, so the program is not linked with them
# and the shared-library scan cannot see them: they are named here (the library from the
# version whose functions the program calls). The scan's findings are added to them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libfluidsynth3 (>= 2.0.5), qt6-qpa-plugins")
# A MIDI alarm needs a General MIDI sound font; the captions are laid out for these faces.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "timgm6mb-soundfont | sf2-soundfont-gm, fonts-liberation")

include(CPack)
