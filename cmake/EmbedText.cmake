# Run with cmake -P: writes OUTPUT, a C++ source that defines the array
# SYMBOL (qualified, e.g. ns::kName) with the text of INPUT. The declaration
# in HEADER gives it external linkage, and a definition that does not match
# it fails to compile.
foreach(var INPUT OUTPUT SYMBOL HEADER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "EmbedText.cmake: ${var} is not set")
  endif()
endforeach()

set(delimiter caldrose_json)
file(READ "${INPUT}" text)
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw-string terminator )${delimiter}\"")
endif()

set(source "// Generated from ${INPUT}; do not edit.\n#include \"${HEADER}\"\n\n")
string(APPEND source "const char ${SYMBOL}[] = R\"${delimiter}(${text})${delimiter}\";\n")

# Rewritten only on change, so that an unchanged input recompiles nothing.
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL source)
  file(WRITE "${OUTPUT}" "${source}")
endif()
