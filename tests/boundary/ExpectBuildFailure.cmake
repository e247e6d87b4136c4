# Builds TARGET in BUILD_DIR and passes only when the build fails because
# HEADER cannot be found.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(result EQUAL 0)
  message(FATAL_ERROR "${TARGET} built: an internal header is visible to hosts")
endif()
if(NOT "${out}${err}" MATCHES "${HEADER}: No such file")
  message(FATAL_ERROR "${TARGET} failed for another reason:\n${out}${err}")
endif()
