# SPDX-License-Identifier: MIT
# The Windows programs in native Win32, over the same logic as the Qt ones: each statically
# linked into one .exe with no DLL beside it, with its version, manifest and icon.
add_library(tova_win32 STATIC
  src/win32/dispatcher.cpp
  src/win32/com_port.cpp
  src/win32/tcp_link.cpp
  src/win32/win32_serial_control.cpp
  src/win32/stdin_reader.cpp
  src/win32/program_output.cpp
  src/win32/serial_ports_windows.cpp
)
target_link_libraries(tova_win32 PUBLIC tova_logic ws2_32 setupapi)
# windows.h without its old winsock, min and max: winsock2 and std::min are the ones meant.
target_compile_definitions(tova_win32 PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)

add_library(tova_panel_win32 STATIC
  src/panel_win32/win32_window.cpp
  src/panel_win32/win32_controls.cpp
  src/panel_win32/win32_hooks.cpp
  src/panel_win32/win32_dialogs.cpp
  src/panel_win32/win32_screenshot.cpp
  src/panel_win32/panel_fonts.cpp
  src/panel_win32/kept_devices.cpp
  src/panel_win32/demo_projectors.cpp
  src/panel_win32/win32_platform.cpp
)
target_link_libraries(tova_panel_win32 PUBLIC tova_window_rules tova_sim_model tova_win32 comctl32 gdi32)

# A resource script per program from one template: version, manifest (common controls 6,
# per-monitor DPI awareness, UTF-8 code page, Windows 10 and 11), icon.
function(tova_resources target program description)
  set(PROGRAM ${program})
  set(DESCRIPTION ${description})
  set(VERSION ${PROJECT_VERSION})
  string(REPLACE "." "," VERSION_COMMAS ${PROJECT_VERSION})
  set(MANIFEST ${CMAKE_BINARY_DIR}/windows/${program}.manifest)
  set(ICON ${PROJECT_SOURCE_DIR}/data/windows/tova-control.ico)
  configure_file(${PROJECT_SOURCE_DIR}/data/windows/tova-control.manifest ${MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/data/windows/program.rc.in ${CMAKE_BINARY_DIR}/windows/${program}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/windows/${program}.rc)
endfunction()

add_executable(tova-control WIN32 src/apps/control_win32_main.cpp)
target_link_libraries(tova-control PRIVATE tova_panel_win32)
target_link_options(tova-control PRIVATE -municode)
tova_resources(tova-control tova-control "tova-control: operator panel for serial projectors")

add_executable(tova-send src/apps/send_win32_main.cpp)
target_link_libraries(tova-send PRIVATE tova_win32 tova_options)
tova_resources(tova-send tova-send "tova-send: projector command codes from scripts")
