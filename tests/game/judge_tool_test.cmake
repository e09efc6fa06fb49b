# Runs tessaro-judge as a player would and checks output, exit status and
# error lines. Called by ctest with JUDGE (the tool) and DATA (the inputs).
function(run_judge input)
  execute_process(COMMAND ${JUDGE} ${ARGN}
    INPUT_FILE ${DATA}/${input}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
  set(status "${status}" PARENT_SCOPE)
endfunction()

function(expect what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(FATAL_ERROR "${what}: expected [${expected}] but got [${actual}]")
  endif()
endfunction()

run_judge(positions.txt marks)
file(READ ${DATA}/marks.expected expected)
expect("marks status" "${status}" "0")
expect("marks output" "${out}" "${expected}")

# A point as on the board (h8) or as X Y from the top left.
foreach(args "judge;7;7" "judge;h8" "judge;H8")
  run_judge(double_three.txt ${args})
  expect("double three ${args}" "${out}" "forbidden\nno\n")
endforeach()
run_judge(trailing_blank.txt judge h8)
expect("trailing blank line" "${out}" "five\nno\n")
run_judge(trailing_blank.txt marks)
expect("trailing blank line, marks" "${status}" "0")
run_judge(five.txt judge 7 7)
expect("five" "${out}" "five\nno\n")
run_judge(whitefive.txt judge 7 7)
expect("white five" "${out}" "ok\nwhitefive\n")
run_judge(five.txt judge 0 0)
expect("empty corner" "${out}" "ok\nno\n")

foreach(case
    "short_line.txt|marks|position 1, line 3: board line of 8 characters, expected 15"
    "bad_char.txt|marks|position 1, line 8: unknown character 'X' in column 6"
    "missing_line.txt|marks|position 1, line 12: missing board line 13 of 15"
    "bad_moves.txt|marks|position 1, line 1: bad moves line: \"moves 1x\""
    "five.txt|judge,15,0|coordinates 15 0 are off the board"
    "five.txt|judge,-1,3|coordinates -1 3 are off the board"
    "five.txt|frobnicate|usage:"
    "five.txt|judge,h,8|coordinates h 8 are not numbers"
    "five.txt|judge,z9|point z9 is not on the board"
    "five.txt|judge,h16|point h16 is not on the board"
    "positions.txt|judge,h8|more than one position"
    "sixteen_lines.txt|marks|position 1, line 16: expected a blank line"
    "empty.txt|marks|no position on input"
    "empty.txt|judge,h8|no position on input")
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 input)
  list(GET parts 1 args)
  list(GET parts 2 message)
  string(REPLACE "," ";" args "${args}")
  run_judge(${input} ${args})
  expect("${input} ${args} status" "${status}" "2")
  expect("${input} ${args} stdout" "${out}" "")
  string(FIND "${err}" "${message}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${input} ${args}: stderr [${err}] lacks [${message}]")
  endif()
endforeach()

# Help goes to standard output; output that cannot be written is an error.
execute_process(COMMAND ${JUDGE} --help OUTPUT_VARIABLE out RESULT_VARIABLE status)
expect("--help status" "${status}" "0")
string(FIND "${out}" "usage: tessaro-judge marks" found)
expect("--help output" "${found}" "0")
foreach(args "marks" "judge;h8" "-h")
  execute_process(COMMAND ${JUDGE} ${args} INPUT_FILE ${DATA}/five.txt OUTPUT_FILE /dev/full
    ERROR_VARIABLE err RESULT_VARIABLE status)
  expect("${args} > /dev/full status" "${status}" "2")
  string(FIND "${err}" "cannot write the output" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${args} > /dev/full: stderr [${err}]")
  endif()
endforeach()
