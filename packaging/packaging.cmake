# What the packages hold, and how CPack names and describes them: a ZIP for
# Windows users, a .deb for Debian and its derivatives.
set(KORVELIN_MAINTAINER "The korvelin-detect developers <maintainers@korvelin-detect.org>")

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The korvelin-detect developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find the korvelin server on the local network and open its web page")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/LICENSE")
# Packages from the same commit match byte for byte.
set(CPACK_THREADS 1)
set(CPACK_KORVELIN_SOURCE_DIR "${CMAKE_SOURCE_DIR}")
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_SOURCE_DIR}/packaging/source_date.cmake")

if(WIN32)
  # Everything at the top of the archive: unpack, double-click.
  install(TARGETS korvelin-detect korvelin-probe RUNTIME DESTINATION .)
  # The README for whoever downloads the ZIP, with the line ends Notepad
  # of every Windows version shows.
  configure_file(packaging/README-windows.txt README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES "${CMAKE_BINARY_DIR}/README.txt" DESTINATION .)
  install(FILES "${CMAKE_SOURCE_DIR}/LICENSE" DESTINATION . RENAME LICENSE.txt)
  # The exe is linked stripped (the windows preset): strip would stamp it
  # with the time of packing.
  set(CPACK_STRIP_FILES OFF)
  set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_SOURCE_DIR}/packaging/sign.cmake")
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}-windows")
else()
  include(GNUInstallDirs)
  set(doc_dir "${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME}")
  # The probe is a console tool: a manual page, but no menu entry.
  install(TARGETS korvelin-detect korvelin-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The desktop entry is named after the AppStream id, which software
  # centres use to tie the metadata to the menu entry.
  set(appstream_id org.korvelin_detect.KorvelinDetect)
  install(FILES packaging/${appstream_id}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(packaging/${appstream_id}.metainfo.xml.in
                 packaging/${appstream_id}.metainfo.xml @ONLY)
  install(FILES "${CMAKE_BINARY_DIR}/packaging/${appstream_id}.metainfo.xml"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES icons/korvelin-detect.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # Debian's own copyright and changelog go into our .deb alone: a plain
  # `cmake --install`, as a distribution's packaging runs it, does not get
  # them, since the distribution writes its own.
  install(FILES packaging/copyright DESTINATION ${doc_dir} COMPONENT debian EXCLUDE_FROM_ALL)

  # Debian wants the manual page and the changelog compressed, without the
  # gzip time stamp.
  set(gzipped)
  foreach(file korvelin-detect.1 korvelin-probe.1 changelog)
    configure_file(packaging/${file} packaging/${file} @ONLY)
    add_custom_command(OUTPUT packaging/${file}.gz
                       COMMAND gzip -9nc ${file} > ${file}.gz
                       DEPENDS "${CMAKE_BINARY_DIR}/packaging/${file}"
                       WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/packaging")
    list(APPEND gzipped "${CMAKE_BINARY_DIR}/packaging/${file}.gz")
  endforeach()
  add_custom_target(package_documents ALL DEPENDS ${gzipped})
  install(FILES "${CMAKE_BINARY_DIR}/packaging/korvelin-detect.1.gz"
                "${CMAKE_BINARY_DIR}/packaging/korvelin-probe.1.gz"
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES "${CMAKE_BINARY_DIR}/packaging/changelog.gz" DESTINATION ${doc_dir}
          COMPONENT debian EXCLUDE_FROM_ALL)

  set(CPACK_STRIP_FILES ON)
  set(CPACK_GENERATOR DEB)
  # One package that holds the program's files and the Debian ones.
  set(CPACK_COMPONENTS_ALL Unspecified debian)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVELIN_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # CPack puts the summary above this as the synopsis line.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A launcher for the application menu: it asks the local network where the
korvelin server is, with a UDP broadcast, and opens the server's web page in
the default browser. When no server answers, it says so in a warning box.")
  # The libraries come from dpkg-shlibdeps; the desktop tools it starts are
  # found on PATH at run time.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, zenity | kdialog | x11-utils")
endif()

include(CPack)
