# A failed expectation names the script line and what was seen, and exits 1;
# so does a box the script did not answer.
foreach(case "failing.script|failing.script:9: expect cell Bob h8 white|the point shows black"
             "unanswered.script|(end of script)|answered no box for \"Do you want to play as BLACK?\"")
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 script)
  list(GET parts 1 first)
  list(GET parts 2 second)
  execute_process(COMMAND ${HOST} --headless --script ${DATA}/${script}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  if(NOT status EQUAL 1)
    message(FATAL_ERROR "${script}: exit status ${status}, expected 1")
  endif()
  foreach(text "${first}" "${second}")
    string(FIND "${err}" "${text}" found)
    if(found EQUAL -1)
      message(FATAL_ERROR "${script}: stderr [${err}] lacks [${text}]")
    endif()
  endforeach()
endforeach()
