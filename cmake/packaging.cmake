# Installation and the Debian package: `cmake --install build`, and `make deb` (cpack -G DEB in build/).
include(GNUInstallDirs)

# F1 looks for the help page beside the program (as in the build tree), then in share/quillmark of the prefix.
foreach(program quillmark quillmark-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
if(TARGET quillmark)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/Quillmark.htm DESTINATION ${CMAKE_INSTALL_DATADIR}/quillmark)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/quillmark.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 16 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/pictures/quillmark-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quillmark.png)
  endforeach()
  install(FILES ${CMAKE_SOURCE_DIR}/resources/artwork/product.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME quillmark.svg)
endif()

# The command line as a service: a unit per desk, whose program path is the one of this installation (the
# package's /usr, or the prefix given to `cmake --install`), and the example settings and log rotation.
if(TARGET quillmark-cli)
  set(unit ${CMAKE_BINARY_DIR}/install/quillmark-watch@.service)
  install(CODE "set(QUILLMARK_CLI \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quillmark-cli\")
                configure_file(\"${CMAKE_SOURCE_DIR}/resources/systemd/quillmark-watch@.service.in\"
                               \"${unit}\" @ONLY)")
  install(FILES ${unit} DESTINATION lib/systemd/system)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/examples/desk.ini ${CMAKE_SOURCE_DIR}/resources/examples/logrotate
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillmark/examples)
endif()

# The manual pages, made from --help, so that they say what the programs say.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(pages)
  foreach(program quillmark quillmark-cli)
    if(NOT TARGET ${program})
      continue()
    endif()
    if(program STREQUAL quillmark)
      set(name "recode the IPTC accents of JPEG images and synchronise their XMP, in a window")
    else()
      set(name "recode the IPTC accents of JPEG images and synchronise their XMP, from the command line")
    endif()
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
                       COMMAND ${HELP2MAN} --no-info --section=1 --name=${name} --output=${page}
                               $<TARGET_FILE:${program}>
                       COMMAND gzip -9nf ${page}
                       DEPENDS ${program}
                       COMMENT "Manual page ${program}(1)"
                       VERBATIM)
    list(APPEND pages ${page}.gz)
  endforeach()
  add_custom_target(manual_pages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found (scripts/install-deps): no manual pages")
endif()

# What Debian asks of every package: the copyright file, the change log, compressed.
set(doc_folder ${CMAKE_INSTALL_DATADIR}/doc/quillmark)
configure_file(${CMAKE_SOURCE_DIR}/resources/debian/changelog ${CMAKE_BINARY_DIR}/install/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/install/changelog.gz
                   COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/install/changelog
                   DEPENDS ${CMAKE_BINARY_DIR}/install/changelog
                   VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/install/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright ${CMAKE_BINARY_DIR}/install/changelog.gz
              ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${doc_folder})

set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_CONTACT "Quillmark maintainers <maintainers@quillmark.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of at most 80 characters, as Debian asks of a description.
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmark treats a folder as a hot folder: every JPEG image dropped into it
gets the accented letters of its IPTC fields recoded between the Macintosh and
the Windows coding, its XMP metadata synchronised with the IPTC fields or
removed, and is written to an output folder, the original going to an archive
folder or away. Includes quillmark-cli, the same processing without a window,
and a systemd service that runs it on one desk's folders.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The shared libraries (Qt, pugixml, the C++ runtime) give the dependencies; the Qt platform and image plugins
# the program loads come with libqt6gui6, which they pull in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The maintainer scripts stop the desks' services on removal and restart them after an upgrade.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/resources/debian/postinst
                                       ${CMAKE_SOURCE_DIR}/resources/debian/prerm
                                       ${CMAKE_SOURCE_DIR}/resources/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
