# Leaves a fresh database next to the program when there is none; never touches one that is there.
if(NOT EXISTS "${DB}")
  execute_process(COMMAND "${NEWDB}" "${DB}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not create ${DB}")
  endif()
endif()
