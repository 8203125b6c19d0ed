# SPDX-License-Identifier: MIT
# Writes the COMMAND CODES section of tova-send's manual page from `tova-send --list`.
execute_process(COMMAND ${PROGRAM} --list OUTPUT_VARIABLE list RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${PROGRAM} --list failed")
endif()
set(page "[COMMAND CODES]\nEvery code the panel sends, with its group and its button's caption.\n")
string(REPLACE "\\" "\\\\" list "${list}")
string(REPLACE "-" "\\-" list "${list}")
string(REGEX REPLACE "([^\t\n]*)\t([^\t\n]*)\t([^\n]*)\n" ".TP\n.B \\1\n\\2: \\3\n" list "${list}")
file(WRITE ${OUTPUT} "${page}${list}")
