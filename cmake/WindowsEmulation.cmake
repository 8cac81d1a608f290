# The emulated platform built for Windows, so that caldrose.exe runs under
# Wine against it: one DLL, caldrose_platform.dll, holds the whole
# emulation (MAPI, ADSI, the ADO and CDO classes, the runtime) with its
# state shared; mapi32.dll and activeds.dll only forward the tool's
# imports to it. Wine's own COM, OLE Automation and Win32 serve the rest.
#
# Included from CMakeLists.txt inside if(WIN32), after caldrose_core.

file(GLOB_RECURSE CALDROSE_WINDOWS_EMULATION_SOURCES CONFIGURE_DEPENDS
  "${CMAKE_SOURCE_DIR}/platform/emulation/*.cpp")
# What the Linux build emulates of COM, OLE Automation and Win32 comes from
# Wine here: the tool imports it from ole32, oleaut32, kernel32 and advapi32
# (but for the few imports that windows/system_imports.cpp takes over). On
# Windows the platform's own ADSI reaches a real domain controller, so the
# LDAP directory stays out.
list(FILTER CALDROSE_WINDOWS_EMULATION_SOURCES EXCLUDE REGEX
  "/platform/emulation/(win32/(win32|kernel_objects|files|processes|waits|accounts)|com/(com_runtime|com_error|safearray)|directory/ldap_directory)\\.cpp$")

# nlohmann-json is header-only: its headers alone, without the host's
# other headers.
find_path(CALDROSE_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH
          REQUIRED)
set(caldrose_json_include "${CMAKE_BINARY_DIR}/json-include")
file(MAKE_DIRECTORY "${caldrose_json_include}")
file(CREATE_LINK "${CALDROSE_NLOHMANN_INCLUDE}/nlohmann" "${caldrose_json_include}/nlohmann" SYMBOLIC)

# The organisation's reader, which Verrick needs too, compiled once for both:
# its JSON code is the slowest of the build to compile.
set(caldrose_reader_sources
    "${CMAKE_SOURCE_DIR}/platform/emulation/runtime/organisation.cpp"
    "${CMAKE_SOURCE_DIR}/platform/emulation/runtime/organisation_file.cpp"
    "${CMAKE_SOURCE_DIR}/platform/emulation/runtime/organisation_web_services.cpp"
    "${CMAKE_SOURCE_DIR}/platform/emulation/runtime/web_services_index.cpp"
    "${CMAKE_SOURCE_DIR}/platform/emulation/runtime/json_skimmer.cpp"
    "${CMAKE_SOURCE_DIR}/platform/emulation/runtime/directory_section.cpp"
    "${CMAKE_SOURCE_DIR}/platform/emulation/runtime/verrick_settings.cpp"
    "${CMAKE_SOURCE_DIR}/platform/emulation/runtime/fault_points.cpp"
    "${CMAKE_SOURCE_DIR}/platform/emulation/runtime/sid.cpp")
list(REMOVE_ITEM CALDROSE_WINDOWS_EMULATION_SOURCES ${caldrose_reader_sources})
add_library(caldrose_organisation_reader OBJECT ${caldrose_reader_sources} "${sample_organisation_cpp}")
target_include_directories(caldrose_organisation_reader PRIVATE "${CMAKE_SOURCE_DIR}" "${caldrose_json_include}")
target_include_directories(caldrose_organisation_reader BEFORE PRIVATE "${ado_include_dir}")
target_compile_definitions(caldrose_organisation_reader PRIVATE _WIN32_WINNT=0x0601 NTDDI_VERSION=0x06010000)

add_library(caldrose_platform SHARED ${CALDROSE_WINDOWS_EMULATION_SOURCES} $<TARGET_OBJECTS:caldrose_organisation_reader>
            "${CALDROSE_EXCHANGE_GUIDS}" "${CMAKE_SOURCE_DIR}/platform/windows/guids.cpp"
            "${CMAKE_SOURCE_DIR}/platform/emulation/windows/caldrose_platform.def")
set_target_properties(caldrose_platform PROPERTIES PREFIX "")
target_include_directories(caldrose_platform PRIVATE "${CMAKE_SOURCE_DIR}" "${caldrose_json_include}")
target_include_directories(caldrose_platform BEFORE PRIVATE "${ado_include_dir}")
target_compile_definitions(caldrose_platform PRIVATE _WIN32_WINNT=0x0601 NTDDI_VERSION=0x06010000)
target_link_libraries(caldrose_platform PRIVATE adsiid ole32 oleaut32 uuid)
# No runtime DLLs to ship or to find under Wine.
target_link_options(caldrose_platform PRIVATE -static)

# The DLLs the tool imports from, named as the platform names them; each
# forwards its exports to caldrose_platform.dll. Their export tables are
# those of the platform's DLLs of the same width: on 32-bit, ordinals and
# stdcall-decorated names.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(caldrose_width x86)
  # Symbols of stdcall functions carry their decoration on 32-bit.
  set(caldrose_forwarder_entry _ForwarderEntry@12)
  # The platform DLL's .def names the functions undecorated; ld matches
  # them to the decorated symbols.
  target_link_options(caldrose_platform PRIVATE -Wl,--enable-stdcall-fixup)
else()
  set(caldrose_width x64)
  set(caldrose_forwarder_entry ForwarderEntry)
endif()
foreach(forwarder mapi32 activeds)
  add_library(caldrose_${forwarder} SHARED "${CMAKE_SOURCE_DIR}/platform/emulation/windows/forwarder.cpp"
              "${CMAKE_SOURCE_DIR}/platform/emulation/windows/${forwarder}-${caldrose_width}.def")
  set_target_properties(caldrose_${forwarder} PROPERTIES PREFIX "" OUTPUT_NAME ${forwarder})
  target_link_options(caldrose_${forwarder} PRIVATE -static -nostdlib -Wl,--entry=${caldrose_forwarder_entry})
  add_dependencies(caldrose_${forwarder} caldrose_platform)
endforeach()

# The registration of the classes and the LDAP provider, for regedit.
configure_file("${CMAKE_SOURCE_DIR}/platform/emulation/windows/caldrose_platform.reg"
               "${CMAKE_BINARY_DIR}/caldrose_platform.reg" COPYONLY)

# Verrick, the sibling tool, as a Windows program: caldrose.exe starts it
# from beside itself. It reads the same organisation as the platform.
add_executable(verrick verrick/main.cpp verrick/report.cpp $<TARGET_OBJECTS:caldrose_organisation_reader>)
set_target_properties(verrick PROPERTIES OUTPUT_NAME Verrick)
target_include_directories(verrick PRIVATE "${CMAKE_SOURCE_DIR}" "${caldrose_json_include}")
target_include_directories(verrick BEFORE PRIVATE "${ado_include_dir}")
target_compile_definitions(verrick PRIVATE _WIN32_WINNT=0x0601 NTDDI_VERSION=0x06010000)
target_link_options(verrick PRIVATE -static)
