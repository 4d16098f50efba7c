# Installation and the Debian packages: `cmake --install build`, and `make deb` (cpack -G DEB in build/).
# Two packages from one tree: quillmark-cli (component cli: the command line, its service and examples,
# nothing of Qt), for servers, and quillmark (component gui: the window), which needs it.
include(GNUInstallDirs)

# F1 looks for the help page beside the program (as in the build tree), then in share/quillmark of the prefix.
if(TARGET quillmark-cli)
  install(TARGETS quillmark-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
endif()
if(TARGET quillmark)
  install(TARGETS quillmark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT gui)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/Quillmark.htm DESTINATION ${CMAKE_INSTALL_DATADIR}/quillmark
          COMPONENT gui)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/quillmark.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT gui)
  foreach(size 16 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/pictures/quillmark-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quillmark.png
            COMPONENT gui)
  endforeach()
  install(FILES ${CMAKE_SOURCE_DIR}/resources/artwork/product.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME quillmark.svg COMPONENT gui)
endif()

# The command line as a service: a unit per desk, whose program path is the one of this installation (the
# package's /usr, or the prefix given to `cmake --install`), and the example settings and log rotation.
if(TARGET quillmark-cli)
  set(unit ${CMAKE_BINARY_DIR}/install/quillmark-watch@.service)
  install(CODE "set(QUILLMARK_CLI \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quillmark-cli\")
                configure_file(\"${CMAKE_SOURCE_DIR}/resources/systemd/quillmark-watch@.service.in\"
                               \"${unit}\" @ONLY)"
          COMPONENT cli)
  install(FILES ${unit} DESTINATION lib/systemd/system COMPONENT cli)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/examples/desk.ini ${CMAKE_SOURCE_DIR}/resources/examples/logrotate
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillmark-cli/examples COMPONENT cli)
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
      set(component gui)
    else()
      set(name "recode the IPTC accents of JPEG images and synchronise their XMP, from the command line")
      set(component cli)
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
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  endforeach()
  add_custom_target(manual_pages ALL DEPENDS ${pages})
else()
  message(STATUS "help2man not found (scripts/install-deps): no manual pages")
endif()

# What Debian asks of every package: the copyright file and the change log, compressed, in its own doc folder.
configure_file(${CMAKE_SOURCE_DIR}/resources/debian/changelog ${CMAKE_BINARY_DIR}/install/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/install/changelog.gz
                   COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/install/changelog
                   DEPENDS ${CMAKE_BINARY_DIR}/install/changelog
                   VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/install/changelog.gz)
foreach(component cli gui)
  set(package quillmark)
  if(component STREQUAL cli)
    set(package quillmark-cli)
  elseif(NOT TARGET quillmark)
    continue()
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright ${CMAKE_BINARY_DIR}/install/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillmark-cli COMPONENT cli)

set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_CONTACT "Quillmark maintainers <maintainers@quillmark.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli)
if(TARGET quillmark)
  list(APPEND CPACK_COMPONENTS_ALL gui)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The shared libraries (Qt, pugixml, the C++ runtime) give the dependencies; the Qt platform and image plugins
# the window loads come with libqt6gui6, which they pull in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# A synopsis, then lines of at most 80 characters, as Debian asks of a description. Each package has its own
# synopsis: the summary is left at CPack's default, which CPack then does not put before it.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_DEBIAN_CLI_PACKAGE_NAME quillmark-cli)
set(CPACK_DEBIAN_CLI_PACKAGE_SECTION graphics)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "IPTC accent recoding and XMP synchronisation of JPEG images, command line
quillmark-cli treats a folder as a hot folder: every JPEG image dropped into
it gets the accented letters of its IPTC fields recoded between the Macintosh
and the Windows coding, its XMP metadata synchronised with the IPTC fields or
removed, and is written to an output folder, the original going to an archive
folder or away. It brings a systemd service that runs it on one desk's
folders, and needs no graphical libraries: the package for servers.")
# Until 1.1 one package held both programs.
set(CPACK_DEBIAN_CLI_PACKAGE_REPLACES "quillmark (<< 1.1.0)")
set(CPACK_DEBIAN_CLI_PACKAGE_BREAKS "quillmark (<< 1.1.0)")
# The maintainer scripts stop the desks' services on removal and restart them after an upgrade.
set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/resources/debian/postinst
                                           ${CMAKE_SOURCE_DIR}/resources/debian/prerm
                                           ${CMAKE_SOURCE_DIR}/resources/debian/postrm)

set(CPACK_DEBIAN_GUI_PACKAGE_NAME quillmark)
set(CPACK_DEBIAN_GUI_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "quillmark-cli (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_GUI_DESCRIPTION
    "IPTC accent recoding and XMP synchronisation of JPEG images, in a window
Quillmark treats a folder as a hot folder: every JPEG image dropped into it
gets the accented letters of its IPTC fields recoded between the Macintosh and
the Windows coding, its XMP metadata synchronised with the IPTC fields or
removed, and is written to an output folder, the original going to an archive
folder or away. This package holds the window, with its set-up guide, its
activity view and an inspector of what a folder's images hold; the command
line and the service come with quillmark-cli.")
include(CPack)
