# Install-time part of korun-log@.service, run by cmake --install and by cpack. The prefix
# is only known now (cpack installs below /usr, a user may give --prefix ~/.local), and the
# unit's ExecStart must name the korun-log installed with it. Below /usr the configuration
# goes to /etc, as Debian wants; anywhere else it stays below the prefix.
# Set before inclusion: KORUN_PACKAGING_SOURCE, KORUN_PACKAGING_BINARY, KORUN_BINDIR_NAME.

set(korun_prefix "${CMAKE_INSTALL_PREFIX}")
if(korun_prefix STREQUAL "/usr")
    set(korun_sysconf /etc)
else()
    set(korun_sysconf "${korun_prefix}/etc")
endif()

set(KORUN_BINDIR "${korun_prefix}/${KORUN_BINDIR_NAME}")
configure_file("${KORUN_PACKAGING_SOURCE}/korun-log@.service.in"
               "${KORUN_PACKAGING_BINARY}/unit/korun-log@.service" @ONLY)
file(INSTALL "${KORUN_PACKAGING_BINARY}/unit/korun-log@.service"
     DESTINATION "${korun_prefix}/lib/systemd/system")
file(INSTALL "${KORUN_PACKAGING_SOURCE}/korun-log.env.example" DESTINATION "${korun_sysconf}/korun")
file(INSTALL "${KORUN_PACKAGING_SOURCE}/debian/korun.tmpfiles"
     DESTINATION "${korun_prefix}/lib/tmpfiles.d" RENAME korun.conf)
