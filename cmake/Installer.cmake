# The per-user installer, built with NSIS beside Covelin.exe whenever
# makensis is there (the bootstrap installs it). `make dist` ships it and the
# end-to-end suite installs and uninstalls it. Its version is the project's.
find_program(COVELIN_MAKENSIS makensis)
if(NOT COVELIN_MAKENSIS)
  message(STATUS "makensis not found: the installer is not built")
  return()
endif()

set(COVELIN_SETUP ${CMAKE_BINARY_DIR}/Covelin-${PROJECT_VERSION}-setup.exe)
set(stage ${CMAKE_BINARY_DIR}/installer)
# The installer carries the program without its symbols, as the zip does.
if(CMAKE_STRIP)
  set(stage_exe ${CMAKE_STRIP} -o ${stage}/Covelin.exe $<TARGET_FILE:Covelin>)
else()
  set(stage_exe ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Covelin> ${stage}/Covelin.exe)
endif()

set(script ${PROJECT_SOURCE_DIR}/scripts/installer.nsi)
add_custom_command(OUTPUT ${COVELIN_SETUP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
  COMMAND ${stage_exe}
  COMMAND ${COVELIN_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DEXE=${stage}/Covelin.exe
          -DROOT=${PROJECT_SOURCE_DIR} -DOUTFILE=${COVELIN_SETUP} ${script}
  DEPENDS Covelin ${script} ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
          ${PROJECT_SOURCE_DIR}/src/ui/res/icons/Covelin.ico
  COMMENT "Building the installer Covelin-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
add_custom_target(installer ALL DEPENDS ${COVELIN_SETUP})
