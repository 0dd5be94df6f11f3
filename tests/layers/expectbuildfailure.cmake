# Builds TARGET in BUILD_DIR and succeeds only when the build fails because EXPECTED was not
# found (so a probe that fails for any other reason does not count).
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "${TARGET} built, but its include must be out of reach")
endif()
string(FIND "${output}" "${EXPECTED}: No such file or directory" found)
if(found EQUAL -1)
  message(FATAL_ERROR "${TARGET} failed for another reason than '${EXPECTED}' being out of reach:\n${output}")
endif()
message(STATUS "${TARGET}: '${EXPECTED}' is out of reach, as it must be")
