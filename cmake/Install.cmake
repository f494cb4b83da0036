# What `cmake --install` puts on a system (the Debian package, debian/):
#
#   <prefix>/lib/quillmer/   Quillmer, quillmer-convert, images/, help/, the
#                            default SETTINGS.INI and registry.reg, and the
#                            marker per-user, which makes the program keep
#                            each user's SETTINGS.INI and registry.reg in
#                            $XDG_DATA_HOME/quillmer (settings/programfolders)
#   <prefix>/bin/            quillmer and quillmer-convert, links to the two
#   <prefix>/share/          the menu entry, icons, AppStream metainfo,
#                            manual pages and bash completion
#
# The program folder that the build lays out (build/Quillmer) has no marker
# and keeps everything beside the executable.
include(GNUInstallDirs)

set(QUILLMER_INSTALL_DIR "lib/quillmer" CACHE STRING
  "The installed program's folder, below the install prefix")
set(QUILLMER_INSTALLED_GS "/usr/bin/gs" CACHE FILEPATH
  "The Ghostscript that the installed registry.reg names")

set(installed "${CMAKE_BINARY_DIR}/installed")
include("${PROJECT_SOURCE_DIR}/cmake/RegistryText.cmake")
quillmer_registry_text(reg "${QUILLMER_INSTALLED_GS}" "${QUILLMER_OFFICE_PROGRAM}/")
file(CONFIGURE OUTPUT "${installed}/registry.reg" CONTENT "${reg}")

install(TARGETS Quillmer quillmer-convert RUNTIME DESTINATION "${QUILLMER_INSTALL_DIR}")
install(FILES resources/SETTINGS.INI resources/per-user "${installed}/registry.reg"
  DESTINATION "${QUILLMER_INSTALL_DIR}")
install(DIRECTORY resources/images resources/help DESTINATION "${QUILLMER_INSTALL_DIR}")

# The entry points: relative links, which the program follows back to its
# folder (QCoreApplication::applicationDirPath reads /proc/self/exe).
file(MAKE_DIRECTORY "${installed}/bin")
foreach(pair "quillmer;Quillmer" "quillmer-convert;quillmer-convert")
  list(GET pair 0 name)
  list(GET pair 1 target)
  file(RELATIVE_PATH link "/${CMAKE_INSTALL_BINDIR}" "/${QUILLMER_INSTALL_DIR}/${target}")
  file(CREATE_LINK "${link}" "${installed}/bin/${name}" SYMBOLIC)
  install(FILES "${installed}/bin/${name}" DESTINATION "${CMAKE_INSTALL_BINDIR}")
endforeach()

set(app_id example.quillmer.Quillmer)
install(FILES resources/desktop/${app_id}.desktop
  DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES resources/desktop/${app_id}.metainfo.xml
  DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES resources/icons/quillmer.svg
  DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
foreach(size 48 256)
  install(FILES resources/icons/quillmer-${size}.png RENAME quillmer.png
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()
install(FILES resources/completion/quillmer-convert
  DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")

# quillmer(1) is written by hand: the window has no options. quillmer-convert(1)
# is made from the built program's --help, so it never falls behind it.
install(FILES resources/man/quillmer.1 DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(page "${installed}/quillmer-convert.1")
  add_custom_command(OUTPUT "${page}"
    COMMAND "${HELP2MAN}" --no-info --version-string=${PROJECT_VERSION}
      "--name=convert .xls workbooks to PDF files"
      "--include=${PROJECT_SOURCE_DIR}/resources/man/quillmer-convert.h2m"
      "--output=${page}" "$<TARGET_FILE:quillmer-convert>"
    DEPENDS quillmer-convert resources/man/quillmer-convert.h2m
    COMMENT "Making quillmer-convert.1 from --help"
    VERBATIM)
  add_custom_target(manual_pages ALL DEPENDS "${page}")
  install(FILES "${page}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
else()
  message(STATUS "help2man was not found: quillmer-convert.1 is not made")
endif()
