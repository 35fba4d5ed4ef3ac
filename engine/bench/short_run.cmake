# One short run of a benchmark, as a test: it must end by itself within LIMIT seconds, with status 0,
# and print the line its figures are on.
#   cmake -DPROGRAM=FILE -DARGS=A;B -DFIGURES=REGEX -DLIMIT=SECONDS [-DDRAWS=1] -P short_run.cmake
# A benchmark that draws needs an X server; without one the run is skipped, unless VQ_REQUIRE_DISPLAY
# is set (test.sh sets it), and then it fails.
if(DRAWS AND "$ENV{DISPLAY}" STREQUAL "")
  if(DEFINED ENV{VQ_REQUIRE_DISPLAY})
    message(FATAL_ERROR "no X display")
  endif()
  message("no X display: skipped")
  return()
endif()
execute_process(COMMAND ${PROGRAM} ${ARGS} TIMEOUT ${LIMIT} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
message("${out}${err}")
if(status MATCHES "^[0-9]+$" AND NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ${ARGS} ended with status ${status}")
elseif(NOT status STREQUAL "0")
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: ${status} (its limit is ${LIMIT} s)")
endif()
if(NOT out MATCHES "${FIGURES}")
  message(FATAL_ERROR "${PROGRAM} ${ARGS}: no line matching \"${FIGURES}\" among its figures")
endif()
