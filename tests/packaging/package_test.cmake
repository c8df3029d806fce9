# Builds the Debian package from the build tree and checks that its dependencies were computed
# from the binaries and that it holds the program, the menu entry, the icons, help and the man
# pages. Prints KESTRO-SKIP (the test counts as skipped) when dpkg-shlibdeps or file is missing.
#
#   cmake -DCPACK=... -DBUILD_DIR=... -DSTAGE=... -DHAVE_TRAIN=0|1 -DSOURCE_DIR=...
#         -P package_test.cmake

find_program(KESTRO_SHLIBDEPS dpkg-shlibdeps)
find_program(KESTRO_FILE file)
if(NOT KESTRO_SHLIBDEPS OR NOT KESTRO_FILE)
  message("KESTRO-SKIP: building the package needs dpkg-shlibdeps and file (dpkg-dev, file)")
  return()
endif()

file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${STAGE}
  RESULT_VARIABLE result OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed (${result}):\n${said}")
endif()
file(GLOB packages ${STAGE}/kestro_*.deb)
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one kestro_*.deb, found: ${packages}")
endif()

set(failures 0)
# Reports `text` and counts one failure.
function(fail text)
  message(SEND_ERROR "${text}")
  math(EXPR count "${failures} + 1")
  set(failures ${count} PARENT_SCOPE)
endfunction()

execute_process(COMMAND dpkg-deb --field ${packages} Package Depends
  OUTPUT_VARIABLE control RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT control MATCHES "Package: kestro\n")
  fail("unexpected control fields:\n${control}")
endif()
# Libraries the program links; they appear only when dpkg-shlibdeps has read the binaries.
foreach(library libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6)
  string(REPLACE "+" "\\+" pattern "${library}")
  if(NOT control MATCHES "Depends:[^\n]*[ ,]${pattern} \\(>=")
    fail("Depends does not name ${library}:\n${control}")
  endif()
endforeach()

execute_process(COMMAND dpkg-deb --contents ${packages} OUTPUT_VARIABLE contents)
set(expected
  ./usr/bin/kestro
  ./usr/share/applications/kestro.desktop
  ./usr/share/icons/hicolor/16x16/apps/kestro.png
  ./usr/share/icons/hicolor/256x256/apps/kestro.png
  ./usr/share/icons/hicolor/scalable/apps/kestro.svg
  ./usr/share/man/man1/kestro.1.gz)
if(HAVE_TRAIN)
  list(APPEND expected ./usr/bin/kestro-train ./usr/share/man/man1/kestro-train.1.gz)
endif()
if(EXISTS ${SOURCE_DIR}/help/index.html)
  list(APPEND expected ./usr/share/kestro/help/index.html)
endif()
foreach(path IN LISTS expected)
  string(FIND "${contents}" " ${path}\n" at)
  if(at EQUAL -1)
    fail("the package lacks ${path}")
  endif()
endforeach()
# Nothing may land outside /usr: a package that writes into /usr/local or /opt breaks policy.
string(REGEX MATCHALL " \\./[^u\n][^\n]*\n" outside "${contents}")
if(outside)
  fail("files outside /usr: ${outside}")
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} package check(s) failed")
endif()
message(STATUS "package: all checks passed")
