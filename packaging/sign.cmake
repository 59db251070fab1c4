# Run by cpack on the files it is about to pack (CPACK_PRE_BUILD_SCRIPTS):
# with a vendor's certificate named by KORVELIN_SIGN_PKCS12, signs the exes
# that go into the package, and those copies alone. The exes the build made
# and the tests ran stay unsigned: a signed one, its signature removed, is
# that same file byte for byte. Without the variable nothing is signed.
#   KORVELIN_SIGN_PKCS12         the PKCS#12 file: certificate and key
#   KORVELIN_SIGN_PASSWORD_FILE  the file holding its password, if it has one
#   KORVELIN_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server, if any
if("$ENV{KORVELIN_SIGN_PKCS12}" STREQUAL "")
  return()
endif()
find_program(OSSLSIGNCODE osslsigncode)
if(NOT OSSLSIGNCODE)
  message(FATAL_ERROR "KORVELIN_SIGN_PKCS12 is set, but osslsigncode is not installed")
endif()

# The password is read from its file, never passed where ps would show it.
set(options -pkcs12 "$ENV{KORVELIN_SIGN_PKCS12}" -h sha256 -n "Korvelin Detect")
if(NOT "$ENV{KORVELIN_SIGN_PASSWORD_FILE}" STREQUAL "")
  list(APPEND options -readpass "$ENV{KORVELIN_SIGN_PASSWORD_FILE}")
endif()
if(NOT "$ENV{KORVELIN_SIGN_TIMESTAMP_URL}" STREQUAL "")
  list(APPEND options -ts "$ENV{KORVELIN_SIGN_TIMESTAMP_URL}")
endif()
file(GLOB_RECURSE exes "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe")
foreach(exe ${exes})
  execute_process(COMMAND "${OSSLSIGNCODE}" sign ${options} -in "${exe}" -out "${exe}.signed"
                  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    file(REMOVE "${exe}.signed")
    message(FATAL_ERROR "signing ${exe} failed:\n${output}")
  endif()
  file(RENAME "${exe}.signed" "${exe}")
  message(STATUS "signed ${exe}")
endforeach()
