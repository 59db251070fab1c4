# Read by cpack before it packs. Every file in the packages, and the
# archives' own headers, carry the time SOURCE_DATE_EPOCH names; when the
# builder gives none, the time of the last commit, so that packages of the
# same commit match byte for byte wherever and whenever they are packed.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY "${CPACK_KORVELIN_SOURCE_DIR}"
                  OUTPUT_VARIABLE last_commit OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(failed EQUAL 0 AND last_commit MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} "${last_commit}")
  else()
    message(WARNING "Neither SOURCE_DATE_EPOCH nor a git history: the packages carry the files' own times")
  endif()
endif()
