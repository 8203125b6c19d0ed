# SPDX-License-Identifier: MIT
# What the programs need on a system: install rules, manual pages, the Debian packages. Two
# packages from one source: tova-control (the panel, tova-send, tova-sim: a desktop's) and
# tova-bridge (the bridge and its service: a headless box's, with no Qt Widgets or GUI plugins).
include(GNUInstallDirs)
set(doc_control ${CMAKE_INSTALL_DATADIR}/doc/tova-control)
set(doc_bridge ${CMAKE_INSTALL_DATADIR}/doc/tova-bridge)

# Stripped for the package as Debian strips, the compiler's notes too.
set(CMAKE_STRIP ${PROJECT_SOURCE_DIR}/cmake/debian-strip)
install(TARGETS tova-control tova-sim tova-send RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT control)
install(TARGETS tova-bridge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT bridge)
install(FILES data/tova-control.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT control)
install(FILES data/tova-control.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps COMPONENT control)
install(FILES data/tova-control.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT control)
install(FILES data/debian/copyright DESTINATION ${doc_control} COMPONENT control)
install(FILES data/debian/copyright DESTINATION ${doc_bridge} COMPONENT bridge)
# The bridge's service, for one line per instance; installed, not enabled.
install(FILES data/systemd/tova-bridge@.service DESTINATION /lib/systemd/system COMPONENT bridge)
install(FILES data/systemd/tova-bridge.conf DESTINATION ${doc_bridge}/examples COMPONENT bridge)
# What a venue's Prometheus and Grafana take: alert rules with their tests, a scrape job, a dashboard.
install(FILES data/prometheus/tova-alerts.yml data/prometheus/tova-alerts.test.yml data/prometheus/prometheus.example.yml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tova-bridge/prometheus COMPONENT bridge)
install(FILES data/grafana/tova-fleet.json DESTINATION ${CMAKE_INSTALL_DATADIR}/tova-bridge/grafana COMPONENT bridge)

find_program(GZIP gzip REQUIRED)
function(tova_gzip source target)
  add_custom_command(OUTPUT ${target}
    COMMAND ${GZIP} -9nc ${source} > ${target}
    DEPENDS ${source} VERBATIM)
endfunction()
tova_gzip(${PROJECT_SOURCE_DIR}/data/debian/changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_target(changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${doc_control} COMPONENT control)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${doc_bridge} COMPONENT bridge)

# Manual pages: each program's --help, with the sections of data/man/PROGRAM.h2m; tova-send's
# also lists the command codes from its own --list, so the page and the program never differ.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(name_tova-control "operator panel for projectors controlled over RS-232C")
  set(name_tova-sim "virtual projector on a pseudo-terminal or TCP port")
  set(name_tova-send "send projector commands and print the decoded replies")
  set(name_tova-bridge "serve a projector's serial line as PJLink devices and a shared line")
  set(man ${CMAKE_BINARY_DIR}/man)
  add_custom_command(OUTPUT ${man}/tova-send.codes.h2m
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:tova-send> -DOUTPUT=${man}/tova-send.codes.h2m
            -P ${PROJECT_SOURCE_DIR}/cmake/CommandCodesPage.cmake
    DEPENDS tova-send ${PROJECT_SOURCE_DIR}/cmake/CommandCodesPage.cmake VERBATIM)
  foreach(prog ${TOVA_PROGRAMS})
    set(includes --include=${PROJECT_SOURCE_DIR}/data/man/${prog}.h2m)
    set(depends ${prog} ${PROJECT_SOURCE_DIR}/data/man/${prog}.h2m)
    if(prog STREQUAL "tova-send")
      list(APPEND includes --include=${man}/tova-send.codes.h2m)
      list(APPEND depends ${man}/tova-send.codes.h2m)
    endif()
    add_custom_command(OUTPUT ${man}/${prog}.1
      COMMAND ${CMAKE_COMMAND} -E make_directory ${man}
      COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
              ${HELP2MAN} --no-info --section=1 "--name=${name_${prog}}" ${includes}
              --output=${man}/${prog}.1 $<TARGET_FILE:${prog}>
      COMMAND ${CMAKE_COMMAND} -DPAGE=${man}/${prog}.1 -P ${PROJECT_SOURCE_DIR}/cmake/PlainManPage.cmake
      DEPENDS ${depends} ${PROJECT_SOURCE_DIR}/cmake/PlainManPage.cmake VERBATIM)
    tova_gzip(${man}/${prog}.1 ${man}/${prog}.1.gz)
    list(APPEND man_pages ${man}/${prog}.1.gz)
    if(prog STREQUAL "tova-bridge")
      install(FILES ${man}/${prog}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT bridge)
    else()
      install(FILES ${man}/${prog}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT control)
    endif()
  endforeach()
  add_custom_target(man ALL DEPENDS ${man_pages})
endif()

# The Debian packages (scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL control bridge)
set(CPACK_PACKAGE_NAME tova-control)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "tova-control")
set(CPACK_PACKAGE_CONTACT "tova-control authors <tova-control@example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tova-control.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)

# The descriptions' lines after the synopsis, each within 80 columns; CPack indents them and
# marks the empty line between the paragraphs.
set(CPACK_DEBIAN_CONTROL_PACKAGE_NAME tova-control)
set(CPACK_COMPONENT_CONTROL_DESCRIPTION "operator panel for projectors controlled over RS-232C
One fixed window of buttons sends text command lines to video projectors on
COM1 or COM2, or through a serial device server over raw TCP. It shows the
traffic character by character and decodes the replies to the status queries
into plain words.

With it come tova-send, which speaks the same protocol from scripts and show
control, and tova-sim, a virtual projector for work without hardware. The
bridge that serves a line on the network is the package tova-bridge.")
# Loaded at run time, so not found by the library scan: Qt's platform plugins. The IPA fonts
# give the panel its look and its Japanese captions; it runs without them.
set(CPACK_DEBIAN_CONTROL_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_CONTROL_PACKAGE_RECOMMENDS "fonts-ipafont-gothic")
set(CPACK_DEBIAN_CONTROL_PACKAGE_SUGGESTS "tova-bridge")

set(CPACK_DEBIAN_BRIDGE_PACKAGE_NAME tova-bridge)
set(CPACK_DEBIAN_BRIDGE_PACKAGE_SECTION net)
set(CPACK_COMPONENT_BRIDGE_DESCRIPTION "projector serial line served as PJLink devices and a web remote
tova-bridge holds the serial line of one or more projectors that take text
commands over RS-232C and serves it to many clients at once: each projector
as a PJLink Class 2 device for room controllers, the line itself shared raw
for the panel and scripts, a web remote for any browser, and /metrics for
Prometheus. A systemd service template runs one instance per line.

It needs no display: it links Qt's core, network and serial port libraries
only.")
# The bridge came in tova-control until 1.40: its files move here.
set(CPACK_DEBIAN_BRIDGE_PACKAGE_BREAKS "tova-control (<< 1.41.0)")
set(CPACK_DEBIAN_BRIDGE_PACKAGE_REPLACES "tova-control (<< 1.41.0)")
include(CPack)
