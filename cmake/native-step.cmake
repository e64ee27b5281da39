# Run by ctest (labNativeStep): configures the native tree from the default preset, with the
# host's own compiler, and builds the targets named.
# cmake -DSOURCE= -DBINARY= -DOPTIONS= -DTARGETS= -DJOBS= -P native-step.cmake
execute_process(COMMAND ${CMAKE_COMMAND} --preset default -B ${BINARY} ${OPTIONS} WORKING_DIRECTORY ${SOURCE}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the native build in ${BINARY} did not configure")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} --parallel ${JOBS} --target ${TARGETS} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the native build of ${TARGETS} failed")
endif()
