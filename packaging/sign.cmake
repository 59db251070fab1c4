# Run by cpack on the files it is about to pack (CPACK_PRE_BUILD_SCRIPTS):
# signs the exes that go into the package, and those copies alone, through
# packaging/sign, which reads the vendor's key from the environment and
# does nothing for an unsigned build. The exes the build made and the tests
# ran stay unsigned: a signed one, its signature removed, is that same
# file byte for byte.
file(GLOB_RECURSE exes "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe")
# The launcher and the probe, and nothing the glob picked up by chance.
list(LENGTH exes count)
if(NOT count EQUAL 2)
  message(FATAL_ERROR "expected the two exes to sign, found ${count}: ${exes}")
endif()
execute_process(COMMAND "${CPACK_KORVELIN_SOURCE_DIR}/packaging/sign" ${exes} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the exes could not be signed: nothing was packed")
endif()
