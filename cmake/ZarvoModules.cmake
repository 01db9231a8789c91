# Adds every immediate sub-folder that has a CMakeLists.txt, in name order,
# so that a new module folder only needs its own list file.
function(zarvo_add_module_folders)
  file(GLOB lists CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  list(SORT lists)
  foreach(list_file ${lists})
    get_filename_component(folder ${list_file} DIRECTORY)
    add_subdirectory(${folder})
  endforeach()
endfunction()
