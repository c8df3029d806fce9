# Read by cpack before each package it builds. CPack writes a Debian package that depends on
# nothing, with only a note in its output, when dpkg-shlibdeps or file is missing; such a package
# installs anywhere and then fails to start. Refuse to build it instead.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(KESTRO_SHLIBDEPS_EXECUTABLE dpkg-shlibdeps)
  find_program(KESTRO_FILE_EXECUTABLE file)
  if(NOT KESTRO_SHLIBDEPS_EXECUTABLE OR NOT KESTRO_FILE_EXECUTABLE)
    message(FATAL_ERROR "The Debian package's dependencies are computed with dpkg-shlibdeps and "
      "file; install them first: apt-get install dpkg-dev file")
  endif()
endif()
