# Writes the header that --version reads: the version and the source revision (git describe), run at every
# build. The header is rewritten only when its text changes, so an unchanged revision rebuilds nothing.
# Arguments: -DSOURCE=folder -DVERSION=text -DOUTPUT=header
# Only the source's own checkout: a source tarball unpacked inside another checkout is not that one's.
set(revision "")
set(result 1)
if(EXISTS "${SOURCE}/.git")
  execute_process(COMMAND git -C "${SOURCE}" describe --always --dirty --abbrev=12
                  OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE result)
endif()
# Outside a git checkout (a source tarball), the commit git archive wrote into scripts/archived-revision.
if(NOT result EQUAL 0 OR revision STREQUAL "")
  set(revision "unknown")
  if(EXISTS "${SOURCE}/scripts/archived-revision")
    file(STRINGS "${SOURCE}/scripts/archived-revision" archived LIMIT_COUNT 1)
    if(archived MATCHES "^[0-9a-f]+$")
      string(SUBSTRING "${archived}" 0 12 revision)
    endif()
  endif()
endif()
set(text "#define DIALDEX_VERSION \"${VERSION}\"\n#define DIALDEX_REVISION \"${revision}\"\n")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
