# Lists the dynamic symbols LIBRARY defines (NM -D) and fails on any outside
# namespace keydepot, or when a known export is missing.
execute_process(COMMAND ${NM} -D --defined-only -C ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()

string(REPLACE "\n" ";" lines "${listing}")
set(foreign "")
foreach(line IN LISTS lines)
  # "<address> <type> <name>"
  string(REGEX REPLACE "^[0-9a-f]* *[A-Za-z] " "" name "${line}")
  if(name STREQUAL "" OR name MATCHES "^(typeinfo for |typeinfo name for |vtable for )?keydepot::")
    continue()
  endif()
  string(APPEND foreign "  ${line}\n")
endforeach()
if(foreign)
  message(FATAL_ERROR "${LIBRARY} exports symbols outside its API:\n${foreign}")
endif()
foreach(expected "keydepot::Load(keydepot::CertInfo*)" "vtable for keydepot::ad::CRefCnt")
  string(FIND "${listing}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${LIBRARY} does not export ${expected}")
  endif()
endforeach()
