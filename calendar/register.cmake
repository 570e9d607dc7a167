# Runs the register tool on the built library. A registry that cannot be written is reported
# but does not fail the build; the program then says the component is not registered.
execute_process(COMMAND ${REGSVR} -s ${LIBRARY} RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  message(WARNING "Orbicle was not registered: ${error}")
endif()
