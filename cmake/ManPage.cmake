# Builds the manual page from what `embossa --help` prints, compressed as
# Debian ships manual pages. Run as:
#   cmake -DPROGRAM=... -DAWK=... -DSCRIPT=help-to-man.awk -DVERSION=...
#         -DSUMMARY=... -DOUTPUT=embossa.1.gz -P ManPage.cmake
# The uncompressed page is left beside OUTPUT for reading while developing.
get_filename_component(folder "${OUTPUT}" DIRECTORY)
string(REGEX REPLACE "\\.gz$" "" page "${OUTPUT}")

execute_process(COMMAND "${PROGRAM}" --help
  OUTPUT_FILE "${folder}/help.txt" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed (${status}); no manual page without it")
endif()

execute_process(COMMAND "${AWK}" -v "version=${VERSION}" -v "summary=${SUMMARY}"
  -f "${SCRIPT}" "${folder}/help.txt"
  OUTPUT_FILE "${page}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${SCRIPT} could not make a manual page (${status})")
endif()

# -n leaves the file name and time out of the header, so the same page
# always compresses to the same bytes.
execute_process(COMMAND gzip -9 -n -c "${page}"
  OUTPUT_FILE "${OUTPUT}.tmp" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${page} (${status})")
endif()
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
