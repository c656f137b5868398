# `publish`: the folder the update server serves under /tandrel/gxdata/, made from this build:
# lianxixinxi.dat (contact text), tblianjie.dat (link address), txgeng.dat (manifest),
# txgeng.sig (the manifest's signature, cmake/UpdateKeys.cmake) and the shipped files
# themselves, each listed with the FileVersion every shipped file carries and its SHA-256.
set(TANDREL_PUBLISH_ADDRESS "http://${UPDATE_SERVER_HOST}/tandrel/gxdata" CACHE STRING
  "Address under which the published files are downloaded (no trailing slash)")
set(TANDREL_CONTACT_TEXT "QQ: 10001" CACHE STRING "Contact text served as lianxixinxi.dat (UTF-8)")
set(TANDREL_LINK_ADDRESS "http://${UPDATE_SERVER_HOST}/" CACHE STRING "Link address served as tblianjie.dat")
set(TANDREL_PUBLISH_EXTRA_FILES "" CACHE STRING
  "Further files to ship without a version (;-separated paths): due wherever they are missing")
set(TANDREL_PUBLISH_DIR "${PROJECT_BINARY_DIR}/publish" CACHE PATH "Web root the publish target writes")

# The shipped DLL carries the same version resource as the executables.
if(TARGET SkinH_EL)
  get_target_property(_skin_sources SkinH_EL SOURCES)
  if(NOT _skin_sources MATCHES "\\.version\\.rc")
    tandrel_version_rc(_skin_version_rc SkinH_EL.dll "Tandrel skin library")
    target_sources(SkinH_EL PRIVATE ${_skin_version_rc})
  endif()
endif()

set(_publish_targets tandrel)
if(TARGET SkinH_EL)
  list(APPEND _publish_targets SkinH_EL)
endif()
set(_publish_files "")
foreach(t ${_publish_targets})
  list(APPEND _publish_files "$<TARGET_FILE:${t}>")
endforeach()
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/publish_settings.cmake CONTENT
"set(PUBLISH_OUT [==[${TANDREL_PUBLISH_DIR}/tandrel/gxdata]==])
set(PUBLISH_VERSION [==[${TANDREL_VERSION}]==])
set(PUBLISH_ADDRESS [==[${TANDREL_PUBLISH_ADDRESS}]==])
set(PUBLISH_CONTACT [==[${TANDREL_CONTACT_TEXT}]==])
set(PUBLISH_LINK [==[${TANDREL_LINK_ADDRESS}]==])
set(PUBLISH_VERSIONED_FILES [==[${_publish_files}]==])
set(PUBLISH_PLAIN_FILES [==[${TANDREL_PUBLISH_EXTRA_FILES}]==])
set(PUBLISH_SIGNING_KEY [==[${TANDREL_PUBLISH_SIGNING_KEY}]==])
set(PUBLISH_OPENSSL [==[${OPENSSL_EXECUTABLE}]==])
")
add_custom_target(publish
  COMMAND ${CMAKE_COMMAND} -DSETTINGS=${PROJECT_BINARY_DIR}/publish_settings.cmake
          -P ${PROJECT_SOURCE_DIR}/cmake/write_publish.cmake
  DEPENDS ${_publish_targets}
  COMMENT "Publishing ${TANDREL_VERSION} to ${TANDREL_PUBLISH_DIR}/tandrel/gxdata"
  VERBATIM)
