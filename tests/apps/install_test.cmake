# Installs the build into PREFIX and plays the installed sample game with the
# installed host. The dynamic loader's trace (LD_DEBUG=libs) names every
# library it starts: the plug-in module and the framework library must be the
# ones below PREFIX, never the build tree's.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (exit status ${status})")
endif()

set(work ${PREFIX}/work)
file(MAKE_DIRECTORY ${work})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env LD_DEBUG=libs
          ${PREFIX}/bin/tessaro-host --headless --script ${PREFIX}/share/tessaro/samples/whole_game.script
  WORKING_DIRECTORY ${work} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE trace)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "installed tessaro-host failed (exit status ${status})\n${out}")
endif()
foreach(library tessaro.so libtessaro_framework.so)
  if(NOT trace MATCHES "calling init: ${PREFIX}/(bin/\\.\\./)?lib/tessaro/${library}\n")
    string(REGEX MATCHALL "calling init: [^\n]*tessaro[^\n]*" loaded "${trace}")
    message(FATAL_ERROR "${library} not loaded from ${PREFIX}/lib/tessaro; loaded: ${loaded}")
  endif()
endforeach()
if(NOT EXISTS ${work}/whole_game.png)
  message(FATAL_ERROR "the installed sample game left no whole_game.png")
endif()

execute_process(COMMAND ${PREFIX}/bin/tessaro-lib show ${PREFIX}/share/tessaro/renlib/lib_nocomment.lib
  RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out MATCHES "h8")
  message(FATAL_ERROR "installed tessaro-lib: exit status ${status}\n${out}")
endif()
