# Runs at install time (after the programs are in <prefix>/lib/trovamix/):
# copies the data folders that the build made, links the programs into bin/
# and installs the desktop integration. Missing optional data is skipped.

set(dest "${CMAKE_INSTALL_PREFIX}/${TROVAMIX_PROGRAM_DIR}")

foreach(dir Styles Samples Default Loops Help Plugins)
  if(IS_DIRECTORY "${TROVAMIX_BUILD_DIR}/${dir}")
    file(INSTALL "${TROVAMIX_BUILD_DIR}/${dir}" DESTINATION "${dest}")
  endif()
endforeach()
foreach(f Title.JPG InfoTxt.rtf)
  if(EXISTS "${TROVAMIX_BUILD_DIR}/${f}")
    file(INSTALL "${TROVAMIX_BUILD_DIR}/${f}" DESTINATION "${dest}")
  endif()
endforeach()

# Relative links, so the tree can be moved (and DESTDIR staging works); the
# programs resolve the link to find their data.
file(MAKE_DIRECTORY "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
foreach(prog trovamix trovamix-cli)
  if(EXISTS "$ENV{DESTDIR}${dest}/${prog}")
    set(link "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/${prog}")
    file(REMOVE "${link}")
    file(CREATE_LINK "../${TROVAMIX_PROGRAM_DIR}/${prog}" "${link}" SYMBOLIC)
    message(STATUS "Installing: ${link} -> ../${TROVAMIX_PROGRAM_DIR}/${prog}")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_PREFIX}/bin/${prog}")
  endif()
endforeach()

# The desktop entry runs the installed program by its full path, quoted as
# desktop entries require (a prefix with spaces or quotes still works).
set(exec "${CMAKE_INSTALL_PREFIX}/bin/trovamix")
string(REPLACE "\\" "\\\\" quoted "${exec}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")  # the string-value level of escaping
string(REPLACE "%" "%%" quoted "${quoted}")
set(TROVAMIX_DESKTOP_EXEC "\"${quoted}\"")
string(REPLACE "\\" "\\\\" TROVAMIX_DESKTOP_TRYEXEC "${exec}")
set(staged "${TROVAMIX_BUILD_DIR}/install-staging")
configure_file("${TROVAMIX_DATA_DIR}/trovamix.desktop.in" "${staged}/trovamix.desktop" @ONLY)
file(INSTALL "${staged}/trovamix.desktop" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
file(INSTALL "${TROVAMIX_DATA_DIR}/trovamix-loop.xml" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/mime/packages")

# The desktop icons, drawn at build time into resources/ when the art exists.
foreach(size 48 128 256)
  set(icon "${TROVAMIX_BUILD_DIR}/resources/Icon${size}.png")
  if(EXISTS "${icon}")
    file(INSTALL "${icon}" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/icons/hicolor/${size}x${size}/apps"
         RENAME trovamix.png)
  endif()
endforeach()
