# `cmake --install` lays the program out as a Debian desktop program: the
# program folder (executables, libkorvan.so, data) in ZARVO_INSTALL_FOLDER, a
# launcher and the command-line tools in bin/, and the desktop entry,
# icons and AppStream metainfo in share/ (resources/ installs the data).
# Writable files go to each user's own folder there (platform/writable_files.h).

# Every executable and library of the program folder; the ones a module adds
# later join here by name.
set(ZARVO_PROGRAM_FOLDER_TARGETS
  ZarvoVideoConverter zarvo-convert korvan zarvo-mpegenc tobrin merrow
  FoxImager FoxBurner pnen3260 zarvo_messages)
foreach(target ${ZARVO_PROGRAM_FOLDER_TARGETS})
  if(TARGET ${target})
    install(TARGETS ${target}
      RUNTIME DESTINATION ${ZARVO_INSTALL_FOLDER}
      LIBRARY DESTINATION ${ZARVO_INSTALL_FOLDER})
  endif()
endforeach()

# A relative link, so that the installed tree can be moved as a whole.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-links)
# The command-line tools find their program folder through the link.
foreach(tool zarvo-mpegenc zarvo-convert)
  file(CREATE_LINK ../${ZARVO_INSTALL_FOLDER}/${tool}
       ${CMAKE_BINARY_DIR}/install-links/${tool} SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/install-links/${tool} DESTINATION bin)
endforeach()
