# The program folder: after the build, build/ holds the programs beside their
# data (Styles/, Samples/, Default/, Loops/, Title.JPG, Help/, InfoTxt.rtf),
# because the programs find everything relative to themselves. `cmake --install`
# keeps that shape under <prefix>/lib/trovamix/ and links the programs into
# <prefix>/bin/; the desktop entry, MIME package and icons go under <prefix>/share/.

add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/InfoTxt.rtf
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/data/InfoTxt.rtf ${CMAKE_BINARY_DIR}/InfoTxt.rtf
  DEPENDS ${CMAKE_SOURCE_DIR}/data/InfoTxt.rtf
  COMMENT "Copying InfoTxt.rtf beside the program")
# Loops/ is where "untitled.txp" lives and the open dialog starts.
add_custom_target(program_folder ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/Loops
  DEPENDS ${CMAKE_BINARY_DIR}/InfoTxt.rtf)

set(TROVAMIX_PROGRAM_DIR lib/trovamix)
install(TARGETS trovamix-cli RUNTIME DESTINATION ${TROVAMIX_PROGRAM_DIR})
if(TARGET trovamix)
  install(TARGETS trovamix RUNTIME DESTINATION ${TROVAMIX_PROGRAM_DIR})
endif()
install(CODE "
set(TROVAMIX_BUILD_DIR \"${CMAKE_BINARY_DIR}\")
set(TROVAMIX_DATA_DIR \"${CMAKE_SOURCE_DIR}/data\")
set(TROVAMIX_PROGRAM_DIR \"${TROVAMIX_PROGRAM_DIR}\")
")
install(SCRIPT ${CMAKE_SOURCE_DIR}/cmake/InstallProgramFolder.cmake)

# Installs into a fresh prefix and checks the tree. Sanitizer builds skip it:
# their programs are not what anyone installs.
if(BUILD_TESTING AND NOT TROVAMIX_SANITIZE AND NOT TROVAMIX_TSAN AND NOT TROVAMIX_FUZZ)
  add_test(NAME install_tree COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${CMAKE_BINARY_DIR} "-DPREFIX=${CMAKE_BINARY_DIR}/install test prefix"
    -P ${CMAKE_SOURCE_DIR}/cmake/CheckInstall.cmake)
  set_tests_properties(install_tree PROPERTIES LABELS install)
endif()
