# Writes the header that --version reads: the version and the source revision (git describe), run at every
# build. The header is rewritten only when its text changes, so an unchanged revision rebuilds nothing.
# Arguments: -DSOURCE=folder -DVERSION=text -DOUTPUT=header
execute_process(COMMAND git -C "${SOURCE}" describe --always --dirty --abbrev=12
                OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR revision STREQUAL "")
  set(revision "unknown")
endif()
set(text "#define DIALDEX_VERSION \"${VERSION}\"\n#define DIALDEX_REVISION \"${revision}\"\n")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
