# Installing and packaging: the Debian package (cpack -G DEB) on Linux, a zip
# archive for Windows users from the Windows build.

if(WIN32)
  install(TARGETS dmx-terminal RUNTIME DESTINATION .)
  install(FILES packaging/windows/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "dmx-terminal-${PROJECT_VERSION}-windows-i686")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()

install(TARGETS dmx-terminal RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The manual page, compressed as Debian wants it (no name or time stamp, so
# the same page gives the same bytes).
add_custom_command(OUTPUT dmx-terminal.1.gz
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/dmx-terminal.1 > dmx-terminal.1.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/dmx-terminal.1 VERBATIM)
configure_file(packaging/debian/changelog.in debian-changelog @ONLY)
add_custom_command(OUTPUT changelog.gz
  COMMAND gzip -9 -n -c debian-changelog > changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/debian-changelog VERBATIM)
add_custom_target(dmx_compressed_docs ALL DEPENDS dmx-terminal.1.gz changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/dmx-terminal.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The udev rule goes where udev reads it, chosen when installing (cmake
# --install --prefix can change the prefix then): under /usr for a package,
# in /etc for a system-wide install anywhere else. Under any other prefix (a
# user's own, such as ~/.local) udev never looks: the rule goes under the
# prefix, and one line tells how to activate it. DMX_UDEV_RULES_DIR, when
# set, overrides the choice.
set(DMX_UDEV_RULES_DIR "" CACHE PATH "Where the udev rule is installed (empty: chosen by prefix)")
set(DMX_UDEV_RULE ${PROJECT_SOURCE_DIR}/packaging/linux/70-dmx-terminal.rules)
install(CODE "
  set(dir \"${DMX_UDEV_RULES_DIR}\")
  set(activate OFF)
  if(NOT dir)
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      set(dir /usr/lib/udev/rules.d)
    elseif(CMAKE_INSTALL_PREFIX STREQUAL \"/usr/local\" OR CMAKE_INSTALL_PREFIX STREQUAL \"/opt\")
      set(dir /etc/udev/rules.d)
    else()
      set(dir \"\${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d\")
      set(activate ON)
    endif()
  endif()
  file(INSTALL DESTINATION \"\${dir}\" TYPE FILE FILES \"${DMX_UDEV_RULE}\")
  if(activate)
    message(STATUS \"udev reads no rules under \${CMAKE_INSTALL_PREFIX}; to give the user at the seat access to the adapter: sudo cp \${dir}/70-dmx-terminal.rules /etc/udev/rules.d/ && sudo udevadm control --reload-rules && sudo udevadm trigger --subsystem-match=hidraw\")
  endif()
")

# The Debian package: cpack -G DEB in the build folder. Its dependencies come
# from the binary (dpkg-shlibdeps), not from a list kept by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dmx-terminal)
set(CPACK_PACKAGE_VENDOR "dmx-terminal developers")
set(CPACK_PACKAGE_CONTACT "dmx-terminal developers <dmx-terminal@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console terminal for the USB DMX adapter")
set(CPACK_PACKAGE_DESCRIPTION
    "dmx-terminal holds a line-oriented text dialogue with the USB DMX lighting\n\
adapter (USB HID, vendor 0x0F48, product 0x4201): every line typed is sent to\n\
the adapter as one command, and the adapter's answer is printed as it arrives.\n\
A udev rule gives the user at the seat access to the adapter.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
install(FILES packaging/debian/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
include(CPack)
