# The keys of the update manifest's signature (txgeng.sig).
#
#   UPDATE_PUBLIC_KEY   PEM public key the program embeds and checks txgeng.sig against
#   UPDATE_SIGNING_KEY  PEM private key the `publish` target signs txgeng.dat with
#
# Given neither, the build uses its development key pair, made once in <build>/update-keys/
# (never committed: the folder ignores itself). The test copies of the program always embed
# the development public key and the tests sign with its private half, whatever is set here.
# Sets TANDREL_RELEASE_PUBLIC_KEY, TANDREL_PUBLISH_SIGNING_KEY (may be empty: publish then
# writes no signature), TANDREL_TEST_PUBLIC_KEY, TANDREL_TEST_SIGNING_KEY (PEM), TANDREL_TEST_SIGNING_KEY_DER and
# TANDREL_TEST_OTHER_KEY_DER, and OPENSSL_EXECUTABLE.
set(UPDATE_PUBLIC_KEY "" CACHE FILEPATH "PEM public key the program checks the manifest's signature with")
set(UPDATE_SIGNING_KEY "" CACHE FILEPATH "PEM private key the publish target signs the manifest with")

find_program(OPENSSL_EXECUTABLE openssl)
if(NOT OPENSSL_EXECUTABLE)
  message(FATAL_ERROR "openssl is needed for the update keys (apt-get install openssl; tools/setup.sh does)")
endif()

function(_update_keys_openssl)
  execute_process(COMMAND ${OPENSSL_EXECUTABLE} ${ARGN} RESULT_VARIABLE result ERROR_VARIABLE error OUTPUT_QUIET)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "openssl ${ARGN} failed: ${error}")
  endif()
endfunction()

set(_keys "${PROJECT_BINARY_DIR}/update-keys")
set(_dev_private "${_keys}/development-signing-key.pem")
set(_dev_public "${_keys}/development-public-key.pem")
set(_other_private "${_keys}/unknown-signing-key.pem")
if(NOT EXISTS "${_dev_private}" OR NOT EXISTS "${_other_private}")
  file(MAKE_DIRECTORY "${_keys}")
  file(WRITE "${_keys}/.gitignore" "# Private keys: never committed.\n*\n")
  foreach(key "${_dev_private}" "${_other_private}")
    if(NOT EXISTS "${key}")
      _update_keys_openssl(genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "${key}")
      file(CHMOD "${key}" PERMISSIONS OWNER_READ OWNER_WRITE)
    endif()
  endforeach()
  message(STATUS "Update keys: made a development key pair in ${_keys}")
endif()
if(NOT EXISTS "${_dev_public}")
  _update_keys_openssl(pkey -in "${_dev_private}" -pubout -out "${_dev_public}")
endif()
# The tests sign at run time with the system's cryptography: the private keys in the plain
# SEC1 form (with the public point) that they read.
foreach(pair "${_dev_private}|development-signing-key.der" "${_other_private}|unknown-signing-key.der")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 pem)
  list(GET pair 1 der)
  if(NOT EXISTS "${_keys}/${der}" OR "${pem}" IS_NEWER_THAN "${_keys}/${der}")
    _update_keys_openssl(ec -in "${pem}" -outform DER -out "${_keys}/${der}")
  endif()
endforeach()
set(TANDREL_TEST_PUBLIC_KEY "${_dev_public}")
set(TANDREL_TEST_SIGNING_KEY "${_dev_private}")
set(TANDREL_TEST_SIGNING_KEY_DER "${_keys}/development-signing-key.der")
set(TANDREL_TEST_OTHER_KEY_DER "${_keys}/unknown-signing-key.der")

# The public key a PEM private key belongs to, written to out.
function(_update_keys_public_of private out)
  _update_keys_openssl(pkey -in "${private}" -pubout -out "${out}")
endfunction()

if(UPDATE_SIGNING_KEY AND NOT EXISTS "${UPDATE_SIGNING_KEY}")
  message(FATAL_ERROR "UPDATE_SIGNING_KEY ${UPDATE_SIGNING_KEY} does not exist")
endif()
if(UPDATE_PUBLIC_KEY AND NOT EXISTS "${UPDATE_PUBLIC_KEY}")
  message(FATAL_ERROR "UPDATE_PUBLIC_KEY ${UPDATE_PUBLIC_KEY} does not exist")
endif()
if(UPDATE_PUBLIC_KEY)
  set(TANDREL_RELEASE_PUBLIC_KEY "${UPDATE_PUBLIC_KEY}")
  set(TANDREL_PUBLISH_SIGNING_KEY "${UPDATE_SIGNING_KEY}")
  if(UPDATE_SIGNING_KEY)
    # A pair that does not belong together would publish manifests every program rejects.
    _update_keys_public_of("${UPDATE_SIGNING_KEY}" "${_keys}/signing-key-public.pem")
    execute_process(COMMAND ${OPENSSL_EXECUTABLE} pkey -pubin -in "${UPDATE_PUBLIC_KEY}" -outform DER
      OUTPUT_VARIABLE _given RESULT_VARIABLE _given_result)
    execute_process(COMMAND ${OPENSSL_EXECUTABLE} pkey -pubin -in "${_keys}/signing-key-public.pem" -outform DER
      OUTPUT_VARIABLE _derived)
    if(NOT _given_result EQUAL 0 OR NOT _given STREQUAL _derived)
      message(FATAL_ERROR "UPDATE_SIGNING_KEY is not the private half of UPDATE_PUBLIC_KEY")
    endif()
  endif()
elseif(UPDATE_SIGNING_KEY)
  _update_keys_public_of("${UPDATE_SIGNING_KEY}" "${_keys}/release-public-key.pem")
  set(TANDREL_RELEASE_PUBLIC_KEY "${_keys}/release-public-key.pem")
  set(TANDREL_PUBLISH_SIGNING_KEY "${UPDATE_SIGNING_KEY}")
else()
  set(TANDREL_RELEASE_PUBLIC_KEY "${_dev_public}")
  set(TANDREL_PUBLISH_SIGNING_KEY "${_dev_private}")
endif()
# The program reads only an EC P-256 public key; anything else would reject every manifest.
execute_process(COMMAND ${OPENSSL_EXECUTABLE} pkey -pubin -in "${TANDREL_RELEASE_PUBLIC_KEY}" -text -noout
  OUTPUT_VARIABLE _key_text RESULT_VARIABLE _key_result ERROR_QUIET)
if(NOT _key_result EQUAL 0 OR NOT _key_text MATCHES "prime256v1|P-256")
  message(FATAL_ERROR "${TANDREL_RELEASE_PUBLIC_KEY} is not a PEM EC P-256 public key")
endif()
if(NOT TANDREL_PUBLISH_SIGNING_KEY)
  message(STATUS "Update keys: no UPDATE_SIGNING_KEY: publish writes txgeng.dat without txgeng.sig; sign it "
    "where the private key is kept, or every program takes the manifest as empty")
endif()
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${TANDREL_RELEASE_PUBLIC_KEY}" "${TANDREL_TEST_PUBLIC_KEY}")
