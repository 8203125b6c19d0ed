# SPDX-License-Identifier: MIT
# Sets a manual page ragged right and unhyphenated: text copied from it (an option, a path, a
# code) is what the page's source says, never a word broken with a hyphen or spread with blanks.
file(READ ${PAGE} page)
string(REGEX REPLACE "(\n\\.TH [^\n]*\n)" "\\1.ad l\n.nh\n" page "${page}")
file(WRITE ${PAGE} "${page}")
