# SPDX-License-Identifier: MIT
# Every Qt-layer source that the target builds, compiled for syntax only against the build
# machine's Qt headers (TOVA_QT_SYNTAX_HEADERS, e.g. /usr/include/x86_64-linux-gnu/qt6). An
# approximation: those headers were configured for another system. It catches what matters
# here, a POSIX header or call used above the seam without a guard. Build target qt_syntax_check.
set(TOVA_QT_MODULES QtCore QtGui QtWidgets QtNetwork QtSerialPort QtHttpServer QtWebSockets)
set(include_flags -I${PROJECT_SOURCE_DIR}/src -I${PROJECT_SOURCE_DIR}/data
    -isystem ${TOVA_QT_SYNTAX_HEADERS})
foreach(module ${TOVA_QT_MODULES})
  list(APPEND include_flags -isystem ${TOVA_QT_SYNTAX_HEADERS}/${module})
endforeach()

# The modules' macros, as linking to them would set; and moc's output, which is no source of
# ours, stood in for by empty files.
set(define_flags)
foreach(module CORE GUI WIDGETS NETWORK SERIALPORT HTTPSERVER WEBSOCKETS)
  list(APPEND define_flags -DQT_${module}_LIB)
endforeach()
set(moc_dir ${CMAKE_BINARY_DIR}/syntax-moc)
file(MAKE_DIRECTORY ${moc_dir})
list(APPEND include_flags -I${moc_dir})

set(stamps)
foreach(source ${TOVA_LINE_SOURCES} ${TOVA_WINDOW_SOURCES} ${TOVA_SIM_QT_SOURCES} ${TOVA_BRIDGE_QT_SOURCES}
               ${TOVA_CONTROL_SOURCES} ${TOVA_SIM_SOURCES} ${TOVA_SEND_SOURCES} ${TOVA_BRIDGE_SOURCES})
  string(MAKE_C_IDENTIFIER ${source} name)
  file(STRINGS ${PROJECT_SOURCE_DIR}/${source} moc_includes REGEX "^#include \"[a-z_]+\\.moc\"")
  foreach(line ${moc_includes})
    string(REGEX REPLACE "^#include \"([a-z_]+\\.moc)\"" "\\1" moc ${line})
    file(TOUCH ${moc_dir}/${moc})
  endforeach()
  set(stamp ${CMAKE_BINARY_DIR}/syntax/${name}.ok)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_CXX_COMPILER} -std=c++20 -fsyntax-only -fPIC -Wall -Wextra
            -DTOVA_VERSION="${PROJECT_VERSION}" ${define_flags} ${include_flags} ${PROJECT_SOURCE_DIR}/${source}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source}
    COMMENT "syntax for Windows: ${source}"
    VERBATIM)
  list(APPEND stamps ${stamp})
endforeach()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/syntax)
add_custom_target(qt_syntax_check DEPENDS ${stamps})
