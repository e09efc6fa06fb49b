# A failed expectation names the script line and what was seen, and exits 1;
# so does a box the script did not answer, and an expectation of a colour or
# side that does not exist. A script that cannot check anything (a folder, an
# empty file) exits 2.
file(READ ${DATA}/failing.script failing)
string(REPLACE "h8 white" "h8 blak" misspelt "${failing}")
file(WRITE unknown_colour.script "${misspelt}")
file(WRITE empty.script "# only a comment\n\n")
foreach(case
    "${DATA}/failing.script|1|failing.script:9: expect cell Bob h8 white|the point shows black"
    "${DATA}/unanswered.script|1|(end of script)|answered no box for \"Do you want to play as BLACK?\""
    "unknown_colour.script|1|unknown_colour.script:9: expect cell Bob h8 blak|unknown colour \"blak\""
    "empty.script|2|empty.script: the script holds no command|nothing was played"
    "${DATA}|2|is not a regular file|--script takes a script file")
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 script)
  list(GET parts 1 expected)
  list(GET parts 2 first)
  list(GET parts 3 second)
  execute_process(COMMAND ${HOST} --headless --script ${script}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  if(NOT status EQUAL expected)
    message(FATAL_ERROR "${script}: exit status ${status}, expected ${expected}")
  endif()
  foreach(text "${first}" "${second}")
    string(FIND "${err}" "${text}" found)
    if(found EQUAL -1)
      message(FATAL_ERROR "${script}: stderr [${err}] lacks [${text}]")
    endif()
  endforeach()
endforeach()

# A printout that cannot be written fails the run.
execute_process(COMMAND ${HOST} --headless --script ${SAMPLES}/chat_and_clocks.script
  OUTPUT_FILE /dev/full ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 2 OR NOT err MATCHES "cannot write the output")
  message(FATAL_ERROR "chat_and_clocks.script > /dev/full: exit ${status}, stderr [${err}]")
endif()
