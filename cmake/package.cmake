# Install and the Debian package. bin/ and share/ stay side by side under one prefix: the
# program finds its installed images from its own folder. Tools and tests are not installed.
# The shipped images: all of data/*.tga (tga-tests holds it to the lab's image table), looked
# at again by every build, so that an image added or removed is installed or dropped.
file(GLOB labImages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*.tga)

# Every folder of the packages the same whatever the umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# On Windows, a zip holding one folder: the program, data/ beside it, the licence and a
# few lines on starting it, both with Windows' line ends for Notepad.
if(WIN32)
  configure_file(packaging/windows-readme.txt.in packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE packaging/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS ostrel-lab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${labImages} DESTINATION ${LAB_DATA_DIR})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt ${CMAKE_BINARY_DIR}/packaging/LICENSE.txt
    ${CMAKE_BINARY_DIR}/packaging/NOTICES.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME ostrel-lab)
  set(CPACK_PACKAGE_FILE_NAME ostrel-lab-${PROJECT_VERSION}-windows-x64)
  set(CPACK_STRIP_FILES ON)
  # A zip's entries hold their times as local time, so one zone for every builder.
  file(CONFIGURE OUTPUT CPackZone.cmake CONTENT "set(ENV{TZ} UTC0)\n")
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackZone.cmake)
  if(CMAKE_HOST_UNIX)
    set(CPACK_OSTREL_SORTED_ZIP ${CMAKE_SOURCE_DIR}/tools/windows/sorted-zip)
    set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/cpack-same-bytes.cmake)
  endif()
  include(CPack)
  return()
endif()
set(OSTREL_APP_ID invalid.ostrel_lab.OstrelLab)  # AppStream's id, the project's domain reversed; names the metainfo file
configure_file(packaging/ostrel-lab.6.in packaging/ostrel-lab.6 @ONLY)
configure_file(packaging/changelog.in packaging/changelog @ONLY)
# Debian wants manual pages and changelogs compressed, without a time stamp.
add_custom_command(OUTPUT packaging/ostrel-lab.6.gz packaging/changelog.gz
  COMMAND gzip -9nkf ostrel-lab.6 changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/ostrel-lab.6 ${CMAKE_BINARY_DIR}/packaging/changelog
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
add_custom_target(packaging-docs ALL DEPENDS packaging/ostrel-lab.6.gz packaging/changelog.gz)

install(TARGETS ostrel-lab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${labImages} DESTINATION ${LAB_DATA_DIR})
install(FILES packaging/ostrel-lab.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/${OSTREL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/ostrel-lab.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${CMAKE_BINARY_DIR}/packaging/ostrel-lab.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
# Under the package's name, where Debian looks (GNUInstallDirs' own DOCDIR is the project's, OstrelLab).
install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/ostrel-lab)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrel-lab)
set(CPACK_PACKAGE_VENDOR "The Ostrel Lab developers")
set(CPACK_PACKAGE_CONTACT "Ostrel Lab developers <dev@ostrel-lab.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "walk through a computer teaching lab in 3D")
set(CPACK_PACKAGE_DESCRIPTION "Ostrel Lab draws a computer teaching lab with OpenGL, GLU and GLUT in\n\
one window: textured walls, a whiteboard with a projection screen, a door,\n\
a pillar, a projector and 23 workstations. The mouse turns the view or moves\n\
the eye, chosen from a right-button menu; the keys a and s start and stop an\n\
orbit around the room. The lab's pictures can be replaced with TGA files\n\
of one's own.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# CPack asks dpkg for the architecture when it makes the package; a cross-built one says its
# own (cmake/hardening.cmake finds it), which dpkg-shlibdeps also needs to find its libraries.
if(CMAKE_CROSSCOMPILING AND OSTREL_DEB_ARCH)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${OSTREL_DEB_ARCH})
  file(CONFIGURE OUTPUT CPackHostArch.cmake CONTENT "set(ENV{DEB_HOST_ARCH} ${OSTREL_DEB_ARCH})\n")
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackHostArch.cmake)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/cpack-same-bytes.cmake)  # Installed-Size from the files' sizes
include(CPack)
