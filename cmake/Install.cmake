# The installed layout. The program finds its Log and ControleCatraca folders beside its real
# executable, so it lives in a folder of its own, with a link on the PATH.
#
# A developer's `cmake --install build --prefix DIR` makes both folders plainly, for the account
# that installs and runs it. The Debian package (VORTALIS_DEBIAN_PACKAGE, built by
# scripts/package) puts them where the system keeps logs and state instead, owned by the
# operators' group that its maintainer scripts create; the links beside the program lead there.
option(VORTALIS_DEBIAN_PACKAGE "Install the Debian package's layout and set up CPack for it" OFF)

include(GNUInstallDirs)
set(VORTALIS_HOME lib/vortalis)
set(VORTALIS_ID example.vortalis.Vortalis)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS vortalis RUNTIME DESTINATION ${VORTALIS_HOME})
install(CODE "
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(CREATE_LINK ../${VORTALIS_HOME}/vortalis
       \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/vortalis\" SYMBOLIC)
")
install(FILES ${packaging}/${VORTALIS_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/${VORTALIS_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging}/${VORTALIS_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

if(NOT VORTALIS_DEBIAN_PACKAGE)
  install(DIRECTORY DESTINATION ${VORTALIS_HOME}/Log)
  install(DIRECTORY DESTINATION ${VORTALIS_HOME}/ControleCatraca)
  return()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/DebianPackage.cmake)
