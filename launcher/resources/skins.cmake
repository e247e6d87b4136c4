# The skin pictures: drawn by skins/make-skins.py, each plane compressed with
# Debian's cjpeg and packed into the AJPG container, embedded as resources of
# type "AJPEG" through the generated skins.rc.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(VELMOR_CJPEG cjpeg REQUIRED)
set(SKIN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/skins/make-skins.py)
set(SKIN_SCRIPTS ${SKIN_SCRIPT} ${CMAKE_CURRENT_LIST_DIR}/skins/ajpg_pack.py
                 ${CMAKE_CURRENT_LIST_DIR}/skins/canvas.py ${CMAKE_CURRENT_LIST_DIR}/skins/pixelfont.py)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${SKIN_SCRIPTS})
execute_process(COMMAND ${Python3_EXECUTABLE} ${SKIN_SCRIPT} --list
                OUTPUT_VARIABLE SKIN_IDS OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE SKIN_LIST_RESULT)
if(NOT SKIN_LIST_RESULT EQUAL 0)
  message(FATAL_ERROR "make-skins.py --list failed")
endif()
set(SKIN_FILES)
foreach(id ${SKIN_IDS})
  list(APPEND SKIN_FILES ${VELMOR_RESOURCE_BINARY_DIR}/skins/${id}.ajpg)
endforeach()
set(SKIN_RC ${VELMOR_RESOURCE_BINARY_DIR}/skins.rc)
add_custom_command(
  OUTPUT ${SKIN_FILES} ${SKIN_RC}
  COMMAND ${Python3_EXECUTABLE} ${SKIN_SCRIPT} --cjpeg ${VELMOR_CJPEG}
          --out ${VELMOR_RESOURCE_BINARY_DIR}/skins
  DEPENDS ${SKIN_SCRIPTS}
  COMMENT "Drawing and packing the skin pictures"
  VERBATIM)
set_source_files_properties(${SKIN_RC} PROPERTIES GENERATED TRUE OBJECT_DEPENDS "${SKIN_FILES}")
list(APPEND VELMOR_RESOURCE_SOURCES ${SKIN_RC})
list(APPEND VELMOR_RESOURCE_DEPENDS ${SKIN_FILES} ${SKIN_RC})
# The packed pictures, for tests and benchmarks that read them as files.
set(VELMOR_SKIN_DIR ${VELMOR_RESOURCE_BINARY_DIR}/skins CACHE INTERNAL "")
