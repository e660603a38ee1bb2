# Install-time script: copies the public headers below zorvsupport/ into the
# include directory, keeping their folders. A header whose first five lines
# say "Library-internal" stays in the source tree. Expects ZORV_SOURCE_DIR and
# ZORV_INCLUDEDIR (relative to the install prefix).
file(GLOB_RECURSE headers RELATIVE "${ZORV_SOURCE_DIR}" "${ZORV_SOURCE_DIR}/zorvsupport/*.h")
list(SORT headers)
foreach(header IN LISTS headers)
  file(STRINGS "${ZORV_SOURCE_DIR}/${header}" lead LIMIT_COUNT 5)
  if(lead MATCHES "Library-internal")
    continue()
  endif()
  get_filename_component(folder "${header}" DIRECTORY)
  file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${ZORV_INCLUDEDIR}/${folder}" TYPE FILE
       FILES "${ZORV_SOURCE_DIR}/${header}")
endforeach()
