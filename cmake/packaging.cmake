# Release packages, made by CPack from the install rules: on Windows a zip
# with both programs, the user's guide and the licence; on Linux a Debian
# package of kgfconv whose Depends dpkg-shlibdeps computes from the binary.

# The licence, followed by the notices of the libraries compiled in.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE licence_text)
file(READ ${CMAKE_SOURCE_DIR}/resources/third-party.txt third_party_text)
set(licence_file ${CMAKE_BINARY_DIR}/LICENSE-with-notices.txt)
file(WRITE ${licence_file} "${licence_text}${third_party_text}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE
                                                               ${CMAKE_SOURCE_DIR}/resources/third-party.txt)
if(WIN32)
  install(FILES ${licence_file} DESTINATION ${KGF_INSTALL_BINDIR} RENAME LICENSE.txt)
else()
  # Debian keeps a package's licence as /usr/share/doc/PACKAGE/copyright.
  install(FILES ${licence_file} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kgfconv
          RENAME copyright)
  # A native package's changelog, compressed as Debian wants it: gzip -9
  # without a name or time stamp, so a rebuild gives the same bytes.
  set(debian_changelog ${CMAKE_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${debian_changelog}
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/cmake/debian-changelog > ${debian_changelog}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/debian-changelog
    COMMENT "Debian changelog of kgfconv")
  add_custom_target(debian_changelog ALL DEPENDS ${debian_changelog})
  install(FILES ${debian_changelog} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kgfconv)
  # The KGF and KAF types and their thumbnailer, for file managers; the
  # shared MIME database's trigger takes the types in on installing.
  install(FILES ${CMAKE_SOURCE_DIR}/resources/linux/kgfconv.xml
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/linux/kgfconv.thumbnailer
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/thumbnailers)
endif()

set(CPACK_PACKAGE_NAME kgf-tool)
set(CPACK_PACKAGE_VENDOR "KGF Tool developers")
# The maintainer of the Debian package, as its changelog names them.
set(CPACK_PACKAGE_CONTACT "KGF Tool developers <kgftool@corvania.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Batch converter for Corvane 3 textures (KGF), animations (KAF) and TGA images")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES TRUE)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(windows_arch x64)
  else()
    set(windows_arch x86)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kgf-tool-${PROJECT_VERSION}-windows-${windows_arch})
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_NAME kgfconv)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The summary above is the first line; this is the rest.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "kgfconv converts the image files of the game Corvane 3 in batches, from the
command line: KGF textures to TGA and back, KAF animations to one KGF or TGA
file per frame, TGA to TGA at another depth, and KGF to KGF with a rebuilt
mip chain. Options not given take the stored settings, the same values
that the Windows program KGF Tool keeps.")
endif()

include(CPack)
