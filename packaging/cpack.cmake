# The Debian packages: korun (what an operator runs) and korun-sim (the simulated line, for
# tests and training). Each has its copyright and changelog.Debian.gz; korun has the
# maintainer scripts and its conffile. Included last by packaging/CMakeLists.txt.

set(KORUN_DEB_RELEASE 1)
set(KORUN_DEB_VERSION ${PROJECT_VERSION}-${KORUN_DEB_RELEASE})
set(KORUN_MAINTAINER "Korun maintainers <maintainers@korun.example.org>")

# changelog.Debian.gz, compressed without a time stamp so that builds are reproducible.
configure_file(debian/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog @ONLY)
set(korun_changelog ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.Debian.gz)
add_custom_command(OUTPUT ${korun_changelog}
    COMMAND ${CMAKE_COMMAND} -E copy debian/changelog debian/changelog.Debian
    COMMAND ${KORUN_GZIP} -9 -n -f debian/changelog.Debian
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog
    VERBATIM)
add_custom_target(korun-changelog ALL DEPENDS ${korun_changelog})
foreach(component package IN ZIP_LISTS KORUN_COMPONENTS KORUN_PACKAGES)
    install(FILES debian/copyright ${korun_changelog}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
    install(FILES debian/${package}.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            RENAME ${package} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${KORUN_COMPONENTS})
# The install code places /etc and the unit from the prefix it sees: /usr, with DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_NAME korun)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KORUN_DEB_RELEASE})
set(CPACK_PACKAGE_VENDOR "Korun maintainers")
set(CPACK_PACKAGE_CONTACT ${KORUN_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KORUN_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Dependencies from the libraries the programs actually link (dpkg-shlibdeps, dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The build keeps debug information; the packages do not need it.
set(CPACK_STRIP_FILES ON)
# 0755 maintainer scripts and 0644 conffiles, whatever the umask of the build.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_KORUN_PACKAGE_NAME korun)
set(CPACK_DEBIAN_KORUN_PACKAGE_SECTION electronics)
set(CPACK_COMPONENT_KORUN_DESCRIPTION "tools for Korun four-channel temperature modules on RS-485
Tools for the Korun module, a four-channel temperature measurement module
on an RS-485 bus that answers as a Modbus RTU server: korun-frontend (the
window: live values with cold-junction compensated temperatures, sensor
configuration), korun-log (CSV recorder for a line of modules, publishing
to an MQTT broker, also as the hardened service korun-log@LINE with daily
files), korun-scan (which modules answer on a line), korun-config (a
module's configuration to and from a JSON file), korun-check (loop checks
against a calibrator with tolerance classes and a PDF report) and
korun-monitor (a line of modules at a glance: trends, alarms, recording).")
set(CPACK_DEBIAN_KORUN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/conffiles
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)

set(CPACK_DEBIAN_SIM_PACKAGE_NAME korun-sim)
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION electronics)
set(CPACK_COMPONENT_SIM_DESCRIPTION "simulated Korun temperature modules on a Modbus RTU line
korun-sim answers as one or more Korun four-channel temperature modules
on a serial port, a pseudo-terminal pair made with socat for instance,
with configurable sensors, temperatures and faults (silent modules,
broken sensors, slow or corrupted replies). It serves the tests and
benchmarks of the korun tools and lets operators train without a real
line of modules.")
include(CPack)
