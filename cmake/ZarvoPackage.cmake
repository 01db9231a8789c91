# `make package` (see the Makefile) builds a .deb of what `cmake --install`
# installs. Depends lists the tools the program and its helpers start (spumux
# is in dvdauthor) and the font the DVD menu's text is drawn with; the
# libraries they link (Qt 6, libav*, libjpeg, libmp3lame) are added by
# dpkg-shlibdeps from the binaries themselves.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarvo-video-converter)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Zarvo developers <developers@zarvo.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video converter for players, phones and discs")
set(CPACK_PACKAGE_DESCRIPTION
    "Converts a list of videos into AVI, MPEG, WMV, DVD, 3GP, or MP4 for iPod,\n\
PSP, iPhone and Zune, with a profile for each target. It joins videos,\n\
converts the main title of a DVD folder, converts RealVideo with its own\n\
MPEG encoder, authors DVD-Video folders with a menu and burns DVD, SuperVCD\n\
and VideoCD discs. It drives ffmpeg, mencoder and mplayer.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "ffmpeg, mencoder, mplayer, dvdauthor, vcdimager, genisoimage, xorriso, cdrdao, fonts-liberation, qt6-qpa-plugins, xdg-utils")
set(CPACK_STRIP_FILES ON)
# Only what the install rules name goes into the package.
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")

# What Debian asks of every package's documentation folder.
set(ZARVO_DOC_FOLDER share/doc/${CPACK_PACKAGE_NAME})
set(changelog ${CMAKE_BINARY_DIR}/package/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/resources/desktop/changelog.Debian
          ${CMAKE_BINARY_DIR}/package/changelog.Debian
  COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/package/changelog.Debian
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/desktop/changelog.Debian VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} ${CMAKE_SOURCE_DIR}/resources/desktop/copyright
        DESTINATION ${ZARVO_DOC_FOLDER})

include(CPack)
