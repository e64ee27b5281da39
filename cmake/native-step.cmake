# Run by ctest (labNativeStep): configures the native tree with the host's own compiler, as
# the default preset does, and builds the targets named.
# cmake -DSOURCE= -DBINARY= -DOPTIONS= -DTARGETS= -DJOBS= -P native-step.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} ${OPTIONS} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the native build in ${BINARY} did not configure")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} --parallel ${JOBS} --target ${TARGETS} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the native build of ${TARGETS} failed")
endif()
