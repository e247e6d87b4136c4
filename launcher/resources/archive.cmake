# PACKAGE 147: the 7z archive that carries both browser plug-ins, unpacked by
# the installer into the plug-ins' folder. Branch-call filter and LZMA2, and
# no POSIX attributes, so the entries carry Windows attributes only. Without
# a plug-in target in the tree (a build without webbrowserplugin/), the
# archive carries a note in their place so the launcher still builds.
find_program(VELMOR_7ZZ 7zz REQUIRED)
set(VELMOR_PLUGIN_ARCHIVE ${VELMOR_RESOURCE_BINARY_DIR}/plugins.7z)
set(plugin_files)
set(plugin_targets)
foreach(plugin npkvtplayer kvtplayer)
  if(TARGET ${plugin})
    list(APPEND plugin_files $<TARGET_FILE:${plugin}>)
    list(APPEND plugin_targets ${plugin})
  endif()
endforeach()
if(NOT plugin_files)
  set(plugin_files ${CMAKE_CURRENT_LIST_DIR}/no-plugins.txt)
endif()
add_custom_command(
  OUTPUT ${VELMOR_PLUGIN_ARCHIVE}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${VELMOR_PLUGIN_ARCHIVE}
  COMMAND ${VELMOR_7ZZ} a -t7z -m0=BCJ -m1=LZMA2 -mtr=off -bso0 -bsp0 ${VELMOR_PLUGIN_ARCHIVE}
          ${plugin_files}
  DEPENDS ${plugin_files} ${plugin_targets}
  COMMENT "Packing the browser plug-ins into plugins.7z"
  VERBATIM)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/archive.rc PROPERTIES
                            OBJECT_DEPENDS ${VELMOR_PLUGIN_ARCHIVE})
list(APPEND VELMOR_RESOURCE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/archive.rc)
list(APPEND VELMOR_RESOURCE_DEPENDS ${VELMOR_PLUGIN_ARCHIVE})
