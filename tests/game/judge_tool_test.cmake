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

run_judge(positions.txt judge 7 7)
expect("double three" "${out}" "forbidden\nno\n")
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
    "five.txt|frobnicate|usage:")
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 input)
  list(GET parts 1 args)
  list(GET parts 2 message)
  string(REPLACE "," ";" args "${args}")
  run_judge(${input} ${args})
  expect("${input} ${args} status" "${status}" "2")
  string(FIND "${err}" "${message}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${input} ${args}: stderr [${err}] lacks [${message}]")
  endif()
endforeach()
