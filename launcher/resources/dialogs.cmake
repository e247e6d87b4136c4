# Dialogs 149 and 150 of the uninstaller.
list(APPEND VELMOR_RESOURCE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialogs.rc)
