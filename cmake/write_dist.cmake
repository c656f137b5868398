# Writes the release bundle: the zip and the per-user installer. Run by the `dist` target
# (cmake/Dist.cmake), and by the installer test around its own copy of the program:
#   cmake -DSETTINGS=<file> -P write_dist.cmake
# The settings file sets:
#   DIST_OUT, DIST_WORK        where the bundle goes; a scratch folder (emptied first)
#   DIST_VERSION               the shipped files' FileVersion
#   DIST_ZIP_NAME, DIST_SETUP_NAME   file names of the zip and of the installer
#   DIST_NSIS_TARGET           x86-unicode (the shipped installer) or amd64-unicode (its twin)
#   DIST_PROGRAM, DIST_SKIN_LIBRARY, DIST_SKIN_FILE   the files to ship
#   DIST_SOURCE_DIR            the source tree (packaging/ and resources/)
#   DIST_STRIP, DIST_MAKENSIS, DIST_PYTHON, DIST_ICONV
#   DIST_SIGN_SETTINGS         optional: sign with the settings cmake/sign_file.cmake reads
include("${SETTINGS}")

# The shipped notes' name (packaging/tandrel.nsi says it too); the text is packaging/usage.txt,
# shipped as GBK with CR LF.
set(usage_name "使用说明.txt")
set(stage "${DIST_WORK}/stage")
set(zip "${DIST_OUT}/${DIST_ZIP_NAME}")
set(setup "${DIST_OUT}/${DIST_SETUP_NAME}")
# A failed run leaves neither, not an older bundle that looks like this one.
file(REMOVE_RECURSE "${DIST_WORK}")
file(REMOVE "${zip}" "${setup}")
file(MAKE_DIRECTORY "${stage}" "${DIST_OUT}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " shown "${ARGN}")
    message(FATAL_ERROR "dist: failed (${result}): ${shown}\n${output}")
  endif()
endfunction()

function(sign file)
  if(DIST_SIGN_SETTINGS)
    run("${CMAKE_COMMAND}" "-DSIGN_SETTINGS=${DIST_SIGN_SETTINGS}" "-DFILE=${file}"
        -P "${CMAKE_CURRENT_LIST_DIR}/sign_file.cmake")
  endif()
endfunction()

# The executables without their debug information (the build keeps it for debugging), then signed.
foreach(file "${DIST_PROGRAM}" "${DIST_SKIN_LIBRARY}")
  get_filename_component(name "${file}" NAME)
  run("${DIST_STRIP}" --strip-debug -o "${stage}/${name}" "${file}")
  sign("${stage}/${name}")
endforeach()
file(COPY "${DIST_SKIN_FILE}" DESTINATION "${stage}")

# The notes: LF becomes CR LF, UTF-8 becomes code page 936; iconv refuses a character GBK lacks.
file(READ "${DIST_SOURCE_DIR}/packaging/usage.txt" usage)
string(REPLACE "\r\n" "\n" usage "${usage}")
string(REPLACE "\n" "\r\n" usage "${usage}")
file(WRITE "${DIST_WORK}/usage-utf8.txt" "${usage}")
run("${DIST_ICONV}" -f UTF-8 -t CP936 -o "${stage}/${usage_name}" "${DIST_WORK}/usage-utf8.txt")

# A running copy holds an event named by the MD5 of its window title's GBK bytes
# (app/startup.cpp "Tandrel", updater/updater_window.cpp "程序更新").
string(MD5 program_event "Tandrel")
file(WRITE "${DIST_WORK}/updater-title.txt" "程序更新")
run("${DIST_ICONV}" -f UTF-8 -t CP936 -o "${DIST_WORK}/updater-title.gbk" "${DIST_WORK}/updater-title.txt")
file(MD5 "${DIST_WORK}/updater-title.gbk" updater_event)

run("${DIST_PYTHON}" "${DIST_SOURCE_DIR}/packaging/make_zip.py" "${zip}"
    "${stage}/tandrel.exe" "${stage}/SkinH_EL.dll" "${stage}/sefds.she" "${stage}/${usage_name}")

set(setup_partial "${DIST_WORK}/${DIST_SETUP_NAME}")
set(nsis_defines
  "-DVERSION=${DIST_VERSION}" "-DTARGET=${DIST_NSIS_TARGET}" "-DSTAGE=${stage}"
  "-DICON=${DIST_SOURCE_DIR}/resources/tandrel.ico"
  "-DOUTFILE=${setup_partial}" "-DPROGRAM_EVENT=${program_event}" "-DUPDATER_EVENT=${updater_event}")
if(DIST_SIGN_SETTINGS)
  # makensis runs this for the uninstaller and for the finished installer.
  set(sign_program "${DIST_WORK}/sign.sh")
  file(WRITE "${sign_program}"
"#!/bin/sh
exec \"${CMAKE_COMMAND}\" \"-DSIGN_SETTINGS=${DIST_SIGN_SETTINGS}\" \"-DFILE=$1\" -P \"${CMAKE_CURRENT_LIST_DIR}/sign_file.cmake\"
")
  file(CHMOD "${sign_program}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
  list(APPEND nsis_defines "-DSIGN=${sign_program}")
endif()
# A UTF-8 locale: makensis reads file names through the locale (the notes' name is Chinese).
run("${CMAKE_COMMAND}" -E env LC_ALL=C.UTF-8 "${DIST_MAKENSIS}" -V2 -INPUTCHARSET UTF8 ${nsis_defines} "${DIST_SOURCE_DIR}/packaging/tandrel.nsi")
file(RENAME "${setup_partial}" "${setup}")
message(STATUS "dist: ${zip}")
message(STATUS "dist: ${setup}")
