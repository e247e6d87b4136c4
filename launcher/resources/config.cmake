# Configuration, string table and icon of the launcher. The loopback variant
# (every server and URL on 127.0.0.1 at the fixed ports written in
# config-loopback.xml) is embedded instead of config.xml for tests and the
# demo with -DVELMOR_LOOPBACK_CONFIG=ON.
option(VELMOR_LOOPBACK_CONFIG "Embed the loopback configuration in the launcher" OFF)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_config_dir ${CMAKE_CURRENT_LIST_DIR})
if(VELMOR_LOOPBACK_CONFIG)
  set(_config_xml config-loopback.xml)
else()
  set(_config_xml config.xml)
endif()

set(_config_checked ${VELMOR_RESOURCE_BINARY_DIR}/config-checked.stamp)
add_custom_command(
  OUTPUT ${_config_checked}
  COMMAND ${Python3_EXECUTABLE} ${_config_dir}/check_config.py ${_config_dir}/strings.xml
          ${_config_checked} ${_config_dir}/config.xml ${_config_dir}/config-loopback.xml
  DEPENDS ${_config_dir}/check_config.py ${_config_dir}/strings.xml ${_config_dir}/config.xml
          ${_config_dir}/config-loopback.xml
  COMMENT "Checking the launcher's configuration and string table")

set(_icon ${VELMOR_RESOURCE_BINARY_DIR}/velmor.ico)
add_custom_command(
  OUTPUT ${_icon}
  COMMAND ${Python3_EXECUTABLE} ${_config_dir}/make_icon.py ${_icon}
  DEPENDS ${_config_dir}/make_icon.py
  COMMENT "Drawing the launcher's icon")

list(APPEND VELMOR_RESOURCE_SOURCES ${_config_dir}/config.rc)
list(APPEND VELMOR_RESOURCE_DEPENDS ${_config_checked} ${_icon})
set_source_files_properties(${_config_dir}/config.rc PROPERTIES
  COMPILE_DEFINITIONS "VELMOR_CONFIG_XML=\"${_config_xml}\""
  OBJECT_DEPENDS "${_config_dir}/${_config_xml};${_config_dir}/strings.xml;${_icon}")
