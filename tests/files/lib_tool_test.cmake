# Runs tessaro-lib as a user would and checks its output and exit codes.
# Variables: LIBTOOL (the executable), DATA (the sample folder), WORK (scratch).

if(NOT EXISTS ${DATA}/lib_3_is_pass.lib)
  message(FATAL_ERROR "sample folder ${DATA} is missing")
endif()

function(run_tool expected_code expected_out expected_err)
  execute_process(COMMAND ${LIBTOOL} ${ARGN}
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL expected_code)
    message(FATAL_ERROR "tessaro-lib ${ARGN}: exit ${code}, expected ${expected_code}\n${err}")
  endif()
  if(NOT out STREQUAL expected_out)
    message(FATAL_ERROR "tessaro-lib ${ARGN}: stdout\n${out}\nexpected\n${expected_out}")
  endif()
  if(NOT err MATCHES "${expected_err}")
    message(FATAL_ERROR "tessaro-lib ${ARGN}: stderr\n${err}\ndoes not match ${expected_err}")
  endif()
endfunction()

# A newer file: root record, two stones, then a pass with its comment. The
# comment's control byte is shown escaped.
run_tool(0 "title: \\x08Pass
1. h8 black
2. i9 white
record 3 is off the board; the line ends there
" "^$" show ${DATA}/lib_3_is_pass.lib)

run_tool(0 "title: (none)
1. h8 black
2. i8 white
" "^$" show ${DATA}/lib_nocomment.lib)

# The root record does not count: the one stone is black.
run_tool(0 "title: x@
1. b15 black
" "^$" show ${DATA}/lib_single_stone_15xB.lib)

# A file with no record at all.
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/short.lib "only a header")
run_tool(0 "title: (none)
no moves
" "^$" show ${WORK}/short.lib)

# Errors: one line on stderr, exit 2.
run_tool(2 "" "^tessaro-lib: cannot open [^\n]*missing.lib: [^\n]+\n$" show ${WORK}/missing.lib)
run_tool(2 "" "^tessaro-lib: [^\n]*is not a regular file\n$" show ${WORK})
run_tool(2 "" "^usage: tessaro-lib show FILE" show)
run_tool(2 "" "^usage: tessaro-lib show FILE" list ${DATA}/lib_nocomment.lib)
run_tool(2 "" "^usage: tessaro-lib show FILE" show a b)
