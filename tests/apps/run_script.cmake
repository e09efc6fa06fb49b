# Plays one sample script in a folder of its own, emptied first, so that files
# a script saves never meet the files of an earlier run.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${HOST} --headless --script ${SCRIPT}
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${SCRIPT} failed (exit status ${status})")
endif()
