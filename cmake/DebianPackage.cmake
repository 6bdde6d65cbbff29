# The Debian package's layout and its CPack settings; scripts/package configures with
# VORTALIS_DEBIAN_PACKAGE and CMAKE_INSTALL_PREFIX=/usr and runs CPack.
#
# Log and ControleCatraca beside the program are links to the log and state folders, which the
# maintainer scripts make (root:vortalis, 2770) and a purge removes, so that nothing of the
# package is writable by accounts outside the operators' group.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(FATAL_ERROR "VORTALIS_DEBIAN_PACKAGE installs under /usr, not ${CMAKE_INSTALL_PREFIX}")
endif()

install(CODE "
  set(home \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VORTALIS_HOME}\")
  file(CREATE_LINK /var/log/vortalis \"\${home}/Log\" SYMBOLIC)
  file(CREATE_LINK /var/lib/vortalis/ControleCatraca \"\${home}/ControleCatraca\" SYMBOLIC)
")
install(PROGRAMS ${packaging}/autostart/vortalis-autostart DESTINATION ${VORTALIS_HOME})
install(FILES ${packaging}/autostart/${VORTALIS_ID}.desktop DESTINATION /etc/xdg/autostart)

# Compressed as Debian wants them (gzip -9, no name or time stamp inside): the manual pages,
# turnstile-sim's made from its --help, and the changelog.
set(shipped ${CMAKE_CURRENT_BINARY_DIR}/shipped)
add_custom_command(OUTPUT ${shipped}/turnstile-sim.1
  COMMAND ${CMAKE_COMMAND} -E make_directory ${shipped}
  COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:turnstile-sim>:$ENV{PATH}"
          help2man --no-info --version-string=${PROJECT_VERSION} --section=1
          "--name=a turnstile controller for commissioning a Vortalis site"
          --output=${shipped}/turnstile-sim.1 turnstile-sim
  DEPENDS turnstile-sim VERBATIM)
set(compressed)
foreach(source ${packaging}/vortalis.1 ${shipped}/turnstile-sim.1 ${packaging}/debian/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${shipped}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${shipped}
    COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${source} ${shipped}/${name}.gz
    DEPENDS ${source} VERBATIM)
  list(APPEND compressed ${shipped}/${name}.gz)
endforeach()
add_custom_target(debian_package_files ALL DEPENDS ${compressed})
install(FILES ${shipped}/vortalis.1.gz ${shipped}/turnstile-sim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${shipped}/changelog.gz ${packaging}/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vortalis)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vortalis)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turnstile access control for a venue's point-of-sale system")
set(CPACK_PACKAGE_DESCRIPTION
"Vortalis answers the turnstiles of a venue for its point-of-sale system. Every
turnstile controller reads a guest's consumption card and asks over TCP whether
the guest may pass; Vortalis looks the card up in the shop's Firebird database
and answers at once.

It is a desktop program with live panes of the turnstiles' traffic, a tray icon
and a card maintenance dialog. It starts with the session of every account of
the vortalis group, and keeps its activity log in /var/log/vortalis.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vortalis developers <dev@vortalis.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vortalis.example/)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The maintainer scripts create the operators' group with addgroup.
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${packaging}/debian/postinst ${packaging}/debian/postrm ${packaging}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
