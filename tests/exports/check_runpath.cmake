# Fails when a program or library searches the current folder for the
# libraries it needs: an empty RUNPATH (or RPATH) entry, or one that is
# neither absolute nor under $ORIGIN, is read by the loader relative to
# whatever folder the process runs in.
# -DREADELF=<readelf> -DFILES=<file;file;...>
foreach(file IN LISTS FILES)
  execute_process(COMMAND ${READELF} -d ${file} OUTPUT_VARIABLE dynamic RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${READELF} cannot read ${file}")
  endif()
  string(REGEX MATCHALL "\\((RUNPATH|RPATH)\\)[^\n]*\\[[^]\n]*\\]" entries "${dynamic}")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^.*\\[([^]]*)\\]$" "\\1" search "${entry}")
    # Keep empty entries: split on ':' by hand, since CMake lists drop none
    # but a leading or trailing empty element must count too.
    string(REPLACE ":" ";" parts "${search}")
    if(search MATCHES "(^|:)(:|$)")
      message(FATAL_ERROR "${file}: the search path '${search}' has an empty entry (the current folder)")
    endif()
    foreach(part IN LISTS parts)
      if(NOT part MATCHES "^(/|\\$ORIGIN)")
        message(FATAL_ERROR "${file}: the search path entry '${part}' is relative to the current folder")
      endif()
    endforeach()
  endforeach()
endforeach()
