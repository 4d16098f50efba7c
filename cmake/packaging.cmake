# Installation and the Debian package: `cmake --install build` and `cpack -G DEB` in build/.
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

set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_CONTACT "Quillmark maintainers <maintainers@quillmark.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmark treats a folder as a hot folder: every JPEG image dropped into it gets the accented letters of its
IPTC fields recoded between the Macintosh and the Windows coding, its XMP metadata synchronised with the IPTC
fields or removed, and is written to an output folder, the original going to an archive folder or away.
Includes quillmark-cli, the same processing without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The shared libraries (Qt, pugixml, the C++ runtime) give the dependencies; the Qt platform and image plugins
# the program loads come with libqt6gui6, which they pull in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
