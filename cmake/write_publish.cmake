# Writes the update server's folder; run by the `publish` target (see Publish.cmake).
include(${SETTINGS})
file(REMOVE_RECURSE "${PUBLISH_OUT}")
file(MAKE_DIRECTORY "${PUBLISH_OUT}")
file(WRITE "${PUBLISH_OUT}/lianxixinxi.dat" "${PUBLISH_CONTACT}")
file(WRITE "${PUBLISH_OUT}/tblianjie.dat" "${PUBLISH_LINK}")
set(manifest "")
foreach(kind VERSIONED PLAIN)
  foreach(file IN LISTS PUBLISH_${kind}_FILES)
    get_filename_component(name "${file}" NAME)
    file(COPY "${file}" DESTINATION "${PUBLISH_OUT}")
    if(kind STREQUAL "VERSIONED")
      set(version "${PUBLISH_VERSION}")
    else()
      set(version "")
    endif()
    # The hash of the copy that is served; the program installs nothing else.
    file(SHA256 "${PUBLISH_OUT}/${name}" sha256)
    string(APPEND manifest
      "<yingyong>${name}</yingyong><banben>${version}</banben><dizhi>${PUBLISH_ADDRESS}/${name}</dizhi>"
      "<sha256>${sha256}</sha256>\r\n")
  endforeach()
endforeach()
file(WRITE "${PUBLISH_OUT}/txgeng.dat" "${manifest}")
if(PUBLISH_SIGNING_KEY)
  execute_process(COMMAND "${PUBLISH_OPENSSL}" dgst -sha256 -sign "${PUBLISH_SIGNING_KEY}"
      -out "${PUBLISH_OUT}/txgeng.sig" "${PUBLISH_OUT}/txgeng.dat"
    RESULT_VARIABLE signed ERROR_VARIABLE error)
  if(NOT signed EQUAL 0)
    # A manifest without its signature is taken as empty: better no folder than a misleading one.
    file(REMOVE_RECURSE "${PUBLISH_OUT}")
    message(FATAL_ERROR "signing txgeng.dat with ${PUBLISH_SIGNING_KEY} failed: ${error}")
  endif()
  message(STATUS "Published to ${PUBLISH_OUT} (txgeng.sig signed with ${PUBLISH_SIGNING_KEY})")
else()
  message(WARNING "Published to ${PUBLISH_OUT} without txgeng.sig: programs take the manifest as empty until "
    "it is signed: openssl dgst -sha256 -sign KEY.pem -out txgeng.sig txgeng.dat")
endif()
