# Installs the build tree into a scratch prefix and checks what a desktop needs of it: the
# program, the trainer when it is built, the user guide, the menu entry whose Exec and Icon name
# installed files, an icon of the right pixel size in every hicolor folder, and the man pages.
#
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DSTAGE=... -DHAVE_TRAIN=0|1
#         [-DDESKTOP_FILE_VALIDATE=path] -P install_layout_test.cmake

set(failures 0)
# Reports `text` and counts one failure (a function, so quotes in `text` stay as they are).
function(fail text)
  message(SEND_ERROR "${text}")
  math(EXPR count "${failures} + 1")
  set(failures ${count} PARENT_SCOPE)
endfunction()

# Fails with `message` unless `path` exists.
function(expect_file path text)
  if(NOT EXISTS "${path}")
    fail("${text}")
    set(failures ${failures} PARENT_SCOPE)
  endif()
endfunction()

file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE}
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

expect_file("${STAGE}/bin/kestro" "bin/kestro is not installed")
if(HAVE_TRAIN)
  expect_file("${STAGE}/bin/kestro-train" "bin/kestro-train is not installed")
  expect_file("${STAGE}/share/man/man1/kestro-train.1.gz" "the trainer's man page is missing")
endif()
expect_file("${STAGE}/share/man/man1/kestro.1.gz" "the program's man page is missing")
if(EXISTS ${SOURCE_DIR}/help/index.html)
  expect_file("${STAGE}/share/kestro/help/index.html"
    "help/index.html is not installed under share/kestro/help")
endif()

# The menu entry: it must start an installed program and name an installed icon.
set(desktop ${STAGE}/share/applications/kestro.desktop)
expect_file("${desktop}" "share/applications/kestro.desktop is not installed")
if(EXISTS ${desktop})
  file(STRINGS ${desktop} execLine REGEX "^Exec=")
  file(STRINGS ${desktop} iconLine REGEX "^Icon=")
  string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" program "${execLine}")
  string(REGEX REPLACE "^Icon=" "" icon "${iconLine}")
  expect_file("${STAGE}/bin/${program}" "Exec names '${program}', which is not in bin/")
  expect_file("${STAGE}/share/icons/hicolor/scalable/apps/${icon}.svg"
    "Icon names '${icon}', which has no scalable icon")
  if(DESKTOP_FILE_VALIDATE)
    execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${desktop}
      RESULT_VARIABLE valid OUTPUT_VARIABLE said ERROR_VARIABLE said)
    # Hints and warnings count too: a clean entry gives no output at all.
    string(STRIP "${said}" said)
    if(NOT valid EQUAL 0 OR NOT said STREQUAL "")
      fail("desktop-file-validate: ${said}")
    endif()
  endif()
endif()

# Each hicolor size folder must hold a PNG of exactly that size (width and height are the
# big-endian words at bytes 16 and 20 of the PNG header).
foreach(size 16 24 32 48 64 128 256)
  set(png ${STAGE}/share/icons/hicolor/${size}x${size}/apps/kestro.png)
  expect_file("${png}" "no ${size}x${size} icon")
  if(EXISTS ${png})
    file(READ ${png} header HEX OFFSET 16 LIMIT 8)
    string(SUBSTRING "${header}" 0 8 widthHex)
    string(SUBSTRING "${header}" 8 8 heightHex)
    math(EXPR width "0x${widthHex}")
    math(EXPR height "0x${heightHex}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
      fail("the ${size}x${size} icon is ${width}x${height}")
    endif()
  endif()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} install layout check(s) failed")
endif()
message(STATUS "install layout: all checks passed")
