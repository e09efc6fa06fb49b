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

# show: what Load Game takes, and what follows it labelled for what it is.
# A newer file: root record, two stones, then a pass with its comment.
run_tool(0 "after the line: the comment on record 3: Pass
then 2 more bytes, which Load Game does not read
1. h8 black
2. i9 white
record 3 is a pass; the line ends there
" "^$" show ${DATA}/lib_3_is_pass.lib)

run_tool(0 "title: (none)
1. h8 black
2. i8 white
" "^$" show ${DATA}/lib_nocomment.lib)

# The root record does not count: the one stone is black.
run_tool(0 "after the line: 2 more bytes of records, which Load Game does not read (see tessaro-lib tree)
1. b15 black
" "^$" show ${DATA}/lib_single_stone_15xB.lib)

# A file with no record at all.
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/short.lib "only a header")
run_tool(0 "title: (none)
no moves
" "^$" show ${WORK}/short.lib)

# tree: the whole library, and a warning for a file of another kind.
run_tool(0 "RenLib 3.0: 21 moves, 3 variations
main line: 1. h8 2. h9 3. f9 4. i11 5. h10 6. i8 7. i9 8. j8 9. i10 10. j11 11. j10
variation 1, after 9. i10 of the main line: 10. j10
variation 2, after 1. h8 of the main line: 2. i9
variation 3, after 1. h8 of the main line: 2. j7 3. i9 4. k7 5. h9 6. k8 7. j8 8. k9 9. h10
" "^$" tree ${DATA}/nocomments.lib)
run_tool(0 "RenLib 3.0: 2 moves, 0 variations
main line: 1. h8 2. g7
  1. h8, multi-line comment: This comment on 78
  2. g7, multi-line comment: Im from 87
note: 1 byte follows the end of the tree at byte 56
" "^$" tree ${DATA}/lib_comment.lib)
run_tool(0 "no RenLib header: 0 moves, 0 variations
main line: no moves
" "^tessaro-lib: warning: [^\n]*short.lib does not start with the RenLib header[^\n]*\n$"
  tree ${WORK}/short.lib)

# Help goes to standard output; a failed write is an error.
execute_process(COMMAND ${LIBTOOL} --help RESULT_VARIABLE code OUTPUT_VARIABLE out)
if(NOT code EQUAL 0 OR NOT out MATCHES "^usage: tessaro-lib show FILE\n       tessaro-lib tree FILE")
  message(FATAL_ERROR "tessaro-lib --help: exit ${code}, stdout\n${out}")
endif()
foreach(args "-h" "tree;${DATA}/nocomments.lib" "show;${DATA}/nocomments.lib")
  execute_process(COMMAND ${LIBTOOL} ${args} OUTPUT_FILE /dev/full
    RESULT_VARIABLE code ERROR_VARIABLE err)
  if(NOT code EQUAL 2 OR NOT err MATCHES "^tessaro-lib: cannot write the output")
    message(FATAL_ERROR "tessaro-lib ${args} > /dev/full: exit ${code}, stderr ${err}")
  endif()
endforeach()

# Errors: one line on stderr, exit 2.
run_tool(2 "" "^tessaro-lib: cannot open [^\n]*missing.lib: [^\n]+\n$" show ${WORK}/missing.lib)
run_tool(2 "" "^tessaro-lib: [^\n]*is not a regular file\n$" show ${WORK})
run_tool(2 "" "^usage: tessaro-lib show FILE" show)
run_tool(2 "" "^usage: tessaro-lib show FILE" list ${DATA}/lib_nocomment.lib)
run_tool(2 "" "^usage: tessaro-lib show FILE" show a b)
run_tool(2 "" "^usage: tessaro-lib show FILE" tree)
