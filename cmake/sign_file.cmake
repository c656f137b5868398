# Authenticode-signs one PE file in place with osslsigncode:
#   cmake -DSIGN_SETTINGS=<settings file> -DFILE=<file> -P sign_file.cmake
# The settings file (written by cmake/Signing.cmake, or by a test) sets OSSLSIGNCODE,
# SIGN_CERT (a PEM or DER certificate, or a PKCS#12 file ending in .pfx or .p12), SIGN_KEY
# (the private key; empty for PKCS#12), SIGN_PASSWORD_FILE (optional) and
# SIGN_TIMESTAMP_URL (optional, an RFC 3161 server).
include("${SIGN_SETTINGS}")
if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "sign: no file ${FILE}")
endif()
set(args sign -h sha256 -n "Tandrel")
if(SIGN_CERT MATCHES "\\.(pfx|p12|PFX|P12)$")
  list(APPEND args -pkcs12 "${SIGN_CERT}")
else()
  list(APPEND args -certs "${SIGN_CERT}" -key "${SIGN_KEY}")
endif()
if(SIGN_PASSWORD_FILE)
  list(APPEND args -readpass "${SIGN_PASSWORD_FILE}")
endif()
if(SIGN_TIMESTAMP_URL)
  list(APPEND args -ts "${SIGN_TIMESTAMP_URL}")
endif()
# Signed into a second file and moved over the first: a failed signing leaves the file as it was.
set(signed "${FILE}.signing")
file(REMOVE "${signed}")
execute_process(COMMAND "${OSSLSIGNCODE}" ${args} -in "${FILE}" -out "${signed}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${signed}")
  message(FATAL_ERROR "sign: osslsigncode could not sign ${FILE}:\n${output}")
endif()
file(RENAME "${signed}" "${FILE}")
