# `make package`: a Debian package built with CPack. The program goes to
# /usr/bin, the files delivered with it to the data folder /usr/share/update
# (platform/ProgramDir.cpp finds it from /usr/bin), the firmware delivery
# stays outside the package (UPDATE_PROGRAM_DIR or the working folder).
set(UPDATE_PACKAGE_VERSION ${PROJECT_VERSION})
set(UPDATE_DATA_DIR share/update)
set(PKG ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS update run-report RUNTIME DESTINATION bin)

# Files other parts of the build deliver; a missing one is left out with a
# note, so that a package can be built from any state of the tree.
function(update_install_delivered file destination)
  install(FILES ${file} DESTINATION ${destination} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ OPTIONAL)
  install(CODE "if(NOT EXISTS \"${file}\")
    message(STATUS \"Package: ${file} does not exist, left out\")
  endif()")
endfunction()
foreach(lang Update.Deu Update.Eng own.lng)
  update_install_delivered(${CMAKE_SOURCE_DIR}/language/files/${lang} ${UPDATE_DATA_DIR})
endforeach()
update_install_delivered(${CMAKE_BINARY_DIR}/ReadMe.pdf ${UPDATE_DATA_DIR})
update_install_delivered(${PKG}/udev/60-update-instruments.rules lib/udev/rules.d)

install(FILES ${PKG}/examples/Update.ini ${PKG}/examples/ProgDevice.ini ${PKG}/examples/BSL430.ini
        DESTINATION ${UPDATE_DATA_DIR}/examples)
install(FILES ${PKG}/desktop/update.desktop DESTINATION share/applications)
install(FILES ${PKG}/desktop/update.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PKG}/debian/copyright DESTINATION share/doc/update)

# Manual pages from their text sources (txt2man), and the changelog; Debian
# wants both compressed with gzip -9n.
find_program(TXT2MAN txt2man)
set(doc_outputs)
foreach(page update update-run-report)
  if(TXT2MAN)
    set(out ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    string(TOUPPER ${page} title)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${TXT2MAN} -t ${title} -s 1 -r "update ${UPDATE_PACKAGE_VERSION}" -v "User Commands"
              -d "8 December 2026" ${PKG}/man/${page}.1.txt > ${CMAKE_BINARY_DIR}/man/${page}.1
      COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/${page}.1
      DEPENDS ${PKG}/man/${page}.1.txt VERBATIM)
    list(APPEND doc_outputs ${out})
    install(FILES ${out} DESTINATION share/man/man1)
  endif()
endforeach()
if(NOT TXT2MAN)
  message(STATUS "txt2man not found: the package is built without manual pages (scripts/bootstrap installs it)")
endif()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nc ${PKG}/debian/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
  DEPENDS ${PKG}/debian/changelog VERBATIM)
list(APPEND doc_outputs ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION share/doc/update)
add_custom_target(package_docs ALL DEPENDS ${doc_outputs})
# What the package holds; `make package` builds only this.
add_custom_target(package_files DEPENDS update run-report package_docs)
if(TARGET readme)
  add_dependencies(package_files readme)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME update)
set(CPACK_PACKAGE_VERSION ${UPDATE_PACKAGE_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Update developers <update@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware download for laboratory meters on serial lines")
set(CPACK_PACKAGE_DESCRIPTION "Searches the serial ports for a pH, oxygen, conductivity or\nmulti-parameter meter, identifies it, compares its firmware with the\ndelivered firmware files and downloads the newer firmware through the\nmeter's boot loader or an external loader program. Runs with a window\nor headless on production lines, one meter per port at once, and keeps\na run log of which meter got which firmware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt 6 libraries come from dpkg-shlibdeps; the window also needs Qt's
# platform plugins, which no library links to.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Help > Read me opens ReadMe.pdf with xdg-open. Windows loader programs
# of a delivery run through wine (see the README for the COM-port mapping).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_SET_DESTDIR OFF)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
