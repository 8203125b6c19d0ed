# SPDX-License-Identifier: MIT
# The Qt layer's libraries and the programs, from the source lists of the top CMakeLists.txt.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Network SerialPort)
set(CMAKE_AUTOMOC ON)

# The line and what every program on it needs.
add_library(tova_qt STATIC ${TOVA_LINE_SOURCES})
target_link_libraries(tova_qt PUBLIC tova_logic Qt6::Core Qt6::Network Qt6::SerialPort)

# The window.
add_library(tova_window STATIC ${TOVA_WINDOW_SOURCES})
target_link_libraries(tova_window PUBLIC tova_qt tova_window_rules tova_sim_qt Qt6::Widgets)

# The virtual projector on a pseudo-terminal or a TCP port.
add_library(tova_sim_qt STATIC ${TOVA_SIM_QT_SOURCES})
target_link_libraries(tova_sim_qt PUBLIC tova_qt tova_sim_model)

# The bridge's sockets.
add_library(tova_bridge_qt STATIC ${TOVA_BRIDGE_QT_SOURCES})
# The web remote: Qt's HTTP server (the pages' WebSockets are ours); its page compiled in.
find_package(Qt6 REQUIRED COMPONENTS HttpServer)
target_link_libraries(tova_bridge_qt PUBLIC tova_bridge tova_qt Qt6::HttpServer)
qt_add_resources(tova_bridge_qt tova_web_page PREFIX /web BASE src/bridge_qt/web
  FILES src/bridge_qt/web/index.html src/bridge_qt/web/remote.js src/bridge_qt/web/remote.css
        src/bridge_qt/web/favicon.svg)

# The programs: one small main() each, with its options.
add_executable(tova-control ${TOVA_CONTROL_SOURCES})
target_link_libraries(tova-control PRIVATE tova_window tova_sim_qt tova_options)

add_executable(tova-sim ${TOVA_SIM_SOURCES})
target_link_libraries(tova-sim PRIVATE tova_sim_qt tova_options)

add_executable(tova-send ${TOVA_SEND_SOURCES})
target_link_libraries(tova-send PRIVATE tova_options tova_qt)

add_executable(tova-bridge ${TOVA_BRIDGE_SOURCES})
target_link_libraries(tova-bridge PRIVATE tova_bridge_qt tova_options)

set(TOVA_PROGRAMS tova-control tova-sim tova-send tova-bridge)
if(NOT WIN32)
  include(cmake/Packaging.cmake)
endif()
