# mingw-w64's adoint.h and adoint_backcompat.h have bare "  Connection;" lines that C++ rejects.

# Writes the corrected headers into <dir>, which must come before the system
# include directories. adoint.h includes "adoint_backcompat.h" by quotes, so
# the corrected pair is picked up together.
function(caldrose_write_corrected_ado_headers dir)
  foreach(header adoint.h adoint_backcompat.h)
    string(MAKE_C_IDENTIFIER "${header}" id)
    find_file(caldrose_system_${id} NAMES ${header} NO_CACHE REQUIRED)
    file(READ "${caldrose_system_${id}}" text)
    string(REGEX REPLACE "\n(  (Connection|Record|Stream|Command|Recordset|Parameter);)" "\n// \\1" fixed "${text}")
    # Rewritten only on change, so that a reconfigure rebuilds nothing.
    set(old "")
    if(EXISTS "${dir}/${header}")
      file(READ "${dir}/${header}" old)
    endif()
    if(NOT old STREQUAL fixed)
      file(WRITE "${dir}/${header}" "${fixed}")
    endif()
  endforeach()
endfunction()
