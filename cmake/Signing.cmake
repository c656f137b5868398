# Code signing: with TANDREL_SIGN_CERT set, the carried updater, the files the dist target
# ships, its uninstaller and its installer are Authenticode-signed (cmake/sign_file.cmake).
set(TANDREL_SIGN_CERT "" CACHE FILEPATH
  "Code-signing certificate (PEM or DER; or a PKCS#12 .pfx/.p12 holding the key too); empty: no signing")
set(TANDREL_SIGN_KEY "" CACHE FILEPATH "Private key of the certificate (not needed for PKCS#12)")
set(TANDREL_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the key's password, if it has one")
set(TANDREL_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures (optional)")

set(TANDREL_SIGNING OFF)
if(TANDREL_SIGN_CERT)
  find_program(OSSLSIGNCODE_PROGRAM osslsigncode)
  if(NOT OSSLSIGNCODE_PROGRAM)
    message(FATAL_ERROR "TANDREL_SIGN_CERT is set but osslsigncode is missing (tools/setup.sh installs it)")
  endif()
  if(NOT TANDREL_SIGN_CERT MATCHES "\\.(pfx|p12|PFX|P12)$" AND NOT TANDREL_SIGN_KEY)
    message(FATAL_ERROR "TANDREL_SIGN_KEY is needed with a PEM or DER certificate")
  endif()
  set(TANDREL_SIGNING ON)
  set(TANDREL_SIGN_SETTINGS ${PROJECT_BINARY_DIR}/sign_settings.cmake)
  # Rewritten only when a setting changed: the carried updater is signed again then.
  file(CONFIGURE OUTPUT ${TANDREL_SIGN_SETTINGS} @ONLY CONTENT
"set(OSSLSIGNCODE [==[${OSSLSIGNCODE_PROGRAM}]==])
set(SIGN_CERT [==[${TANDREL_SIGN_CERT}]==])
set(SIGN_KEY [==[${TANDREL_SIGN_KEY}]==])
set(SIGN_PASSWORD_FILE [==[${TANDREL_SIGN_PASSWORD_FILE}]==])
set(SIGN_TIMESTAMP_URL [==[${TANDREL_SIGN_TIMESTAMP_URL}]==])
")
endif()
