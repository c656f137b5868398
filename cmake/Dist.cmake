# `dist`: the release bundle in build/dist/, made from this build (cmake/write_dist.cmake):
# Tandrel-<version>-win32.zip and Tandrel-<version>-setup.exe, the per-user installer. An
# x86_64 build makes their 64-bit twins (-win64.zip, -x64-setup.exe).
find_program(MAKENSIS_PROGRAM makensis)
find_program(ICONV_PROGRAM iconv)
find_package(Python3 COMPONENTS Interpreter)
set(TANDREL_DIST_DIR "${PROJECT_BINARY_DIR}/dist" CACHE PATH "Folder the dist target writes")

# dist_nsis_target, dist_zip_name, dist_setup_name for this build's processor.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TANDREL_NSIS_TARGET x86-unicode)
  set(TANDREL_DIST_ZIP_NAME "Tandrel-${TANDREL_VERSION}-win32.zip")
  set(TANDREL_DIST_SETUP_NAME "Tandrel-${TANDREL_VERSION}-setup.exe")
else()
  set(TANDREL_NSIS_TARGET amd64-unicode)
  set(TANDREL_DIST_ZIP_NAME "Tandrel-${TANDREL_VERSION}-win64.zip")
  set(TANDREL_DIST_SETUP_NAME "Tandrel-${TANDREL_VERSION}-x64-setup.exe")
endif()

# Writes a settings file for write_dist.cmake: tandrel_dist_settings(FILE OUT WORK PROGRAM
# SKIN_LIBRARY SKIN_FILE ZIP_NAME SETUP_NAME [SIGN_SETTINGS]); paths may be generator expressions.
function(tandrel_dist_settings)
  cmake_parse_arguments(ARG "" "FILE;OUT;WORK;PROGRAM;SKIN_LIBRARY;SKIN_FILE;ZIP_NAME;SETUP_NAME;SIGN_SETTINGS" "" ${ARGN})
  file(GENERATE OUTPUT "${ARG_FILE}" CONTENT
"set(DIST_OUT [==[${ARG_OUT}]==])
set(DIST_WORK [==[${ARG_WORK}]==])
set(DIST_VERSION [==[${TANDREL_VERSION}]==])
set(DIST_ZIP_NAME [==[${ARG_ZIP_NAME}]==])
set(DIST_SETUP_NAME [==[${ARG_SETUP_NAME}]==])
set(DIST_NSIS_TARGET [==[${TANDREL_NSIS_TARGET}]==])
set(DIST_PROGRAM [==[${ARG_PROGRAM}]==])
set(DIST_SKIN_LIBRARY [==[${ARG_SKIN_LIBRARY}]==])
set(DIST_SKIN_FILE [==[${ARG_SKIN_FILE}]==])
set(DIST_SOURCE_DIR [==[${PROJECT_SOURCE_DIR}]==])
set(DIST_STRIP [==[${CMAKE_STRIP}]==])
set(DIST_MAKENSIS [==[${MAKENSIS_PROGRAM}]==])
set(DIST_PYTHON [==[${Python3_EXECUTABLE}]==])
set(DIST_ICONV [==[${ICONV_PROGRAM}]==])
set(DIST_SIGN_SETTINGS [==[${ARG_SIGN_SETTINGS}]==])
")
endfunction()

if(MAKENSIS_PROGRAM AND ICONV_PROGRAM AND Python3_Interpreter_FOUND AND TARGET SkinH_EL)
  set(_dist_sign "")
  if(TANDREL_SIGNING)
    set(_dist_sign "${TANDREL_SIGN_SETTINGS}")
  endif()
  tandrel_dist_settings(FILE "${PROJECT_BINARY_DIR}/dist_settings.cmake"
    OUT "${TANDREL_DIST_DIR}" WORK "${PROJECT_BINARY_DIR}/dist-work"
    PROGRAM "$<TARGET_FILE:tandrel>" SKIN_LIBRARY "$<TARGET_FILE:SkinH_EL>"
    SKIN_FILE "${PROJECT_SOURCE_DIR}/skin/sefds.she"
    ZIP_NAME "${TANDREL_DIST_ZIP_NAME}" SETUP_NAME "${TANDREL_DIST_SETUP_NAME}"
    SIGN_SETTINGS "${_dist_sign}")
  add_custom_target(dist
    COMMAND ${CMAKE_COMMAND} -DSETTINGS=${PROJECT_BINARY_DIR}/dist_settings.cmake
            -P ${PROJECT_SOURCE_DIR}/cmake/write_dist.cmake
    DEPENDS tandrel SkinH_EL
    COMMENT "Release bundle ${TANDREL_VERSION} in ${TANDREL_DIST_DIR}"
    VERBATIM)
else()
  add_custom_target(dist
    COMMAND ${CMAKE_COMMAND} -E echo "dist needs makensis, iconv and python3 (tools/setup.sh installs them)"
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
endif()
