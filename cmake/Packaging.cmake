# Installation layout and the Debian package.
#
#   cmake --install BUILD --prefix /usr     the program, the trainer, help, menu entry, icons, man
#   cpack -G DEB                            (in BUILD) kestro_VERSION_ARCH.deb
#
# Included from the top CMakeLists.txt after the targets exist.
include(GNUInstallDirs)

set(KESTRO_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(KESTRO_RESOURCES_DIR ${PROJECT_SOURCE_DIR}/resources)

# Compresses the man page SOURCE.1 into the build tree as Debian wants it (gzip -9, no name or
# time stamp, so the package is reproducible) and installs it in section 1.
function(kestro_install_man_page name)
  set(source ${KESTRO_PACKAGING_DIR}/${name}.1)
  set(compressed ${CMAKE_BINARY_DIR}/man/${name}.1.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9 -n -c ${source} > ${compressed}
    DEPENDS ${source} VERBATIM)
  add_custom_target(kestro_man_${name} ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

if(TARGET kestro)
  install(TARGETS kestro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  kestro_install_man_page(kestro)
  # The user guide, where the program looks for it when it is not beside the program file.
  if(EXISTS ${PROJECT_SOURCE_DIR}/help)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kestro/help)
  endif()
  # The application menu entry and its icon in the hicolor theme, under the name "kestro".
  install(FILES ${KESTRO_PACKAGING_DIR}/kestro.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${KESTRO_RESOURCES_DIR}/app/kestro-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      RENAME kestro.png)
  endforeach()
  install(FILES ${KESTRO_RESOURCES_DIR}/app/kestro.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

if(TARGET kestro-train)
  install(TARGETS kestro-train RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  kestro_install_man_page(kestro-train)
endif()

# The Debian package. Library dependencies are computed from the installed binaries by
# dpkg-shlibdeps; only what the program loads or calls at run time without linking is named.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestro)
set(CPACK_PACKAGE_VENDOR "Quorvanta Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "neural network learning two classes of points, shown live")
set(CPACK_PACKAGE_DESCRIPTION
  "Kestro Neural Network shows, live, how a small multilayer perceptron learns\n\
to separate two classes of points in the plane. Paint or generate a point set,\n\
pick one of 47 network structures and the learning parameters, and watch\n\
online backpropagation: the network's answer over the plane, the error graph\n\
and the network with the statistics of its weights. The package also holds\n\
kestro-train, which runs the same training without a window and prints it as\n\
JSON Lines.")
set(CPACK_PACKAGE_CONTACT "Quorvanta Software <support@quorvanta.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KESTRO_WEB_BASE}kvn/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackagingChecks.cmake)
# DejaVu stands in for the Tahoma the views ask for; xdg-open shows help and web pages.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, xdg-utils")
include(CPack)
