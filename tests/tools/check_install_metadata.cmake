# Formats each manual page as man would, with its warnings on, and validates
# the AppStream data offline. Any warning fails.
foreach(page poremisu.1 poremisu.ja.1)
  execute_process(
    COMMAND man --warnings -E UTF-8 -l ${SOURCE_DIR}/resources/man/${page}
    OUTPUT_QUIET ERROR_VARIABLE warnings RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "${page}: ${warnings} (exit ${status})")
  endif()
endforeach()
execute_process(
  COMMAND appstreamcli validate --no-net --pedantic ${METAINFO}
  OUTPUT_VARIABLE report ERROR_VARIABLE report RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR report MATCHES "(^|\n)[WEIP]: ")
  message(FATAL_ERROR "${METAINFO}: ${report}")
endif()
