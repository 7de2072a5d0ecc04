cmake_policy(SET CMP0057 NEW)  # IN_LIST, also in script mode
# The layers, bottom to top, and what each may use. This one table drives the
# link libraries a layer may name and the include check below; anything else
# fails at configure time.
set(MORVEX_LAYERS platform emulator usb sensors device imaging files settings camera api)
set(MORVEX_USES_platform "")
set(MORVEX_USES_emulator platform)
set(MORVEX_USES_usb platform)
set(MORVEX_USES_sensors usb platform)
set(MORVEX_USES_device sensors usb platform)
set(MORVEX_USES_imaging platform)
set(MORVEX_USES_files imaging platform)
set(MORVEX_USES_settings platform)
# The camera instance is the composition root: it puts the emulator behind
# the default driver port.
set(MORVEX_USES_camera settings files imaging device sensors usb emulator platform)
set(MORVEX_USES_api camera settings files imaging device sensors usb emulator platform)
# Only these see the application's header.
set(MORVEX_PUBLIC_HEADER_USERS camera api)

# Fails when a source of `layer` includes a layer the table does not allow.
function(morvex_check_includes layer)
  set(allowed ${layer} ${MORVEX_USES_${layer}})
  file(GLOB_RECURSE sources ${MORVEX_SRC}/${layer}/*.h ${MORVEX_SRC}/${layer}/*.cpp)
  set(violations "")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS includes)
      if(line MATCHES "[\"<]MorvexSdk\\.h[\">]" AND NOT layer IN_LIST MORVEX_PUBLIC_HEADER_USERS)
        file(RELATIVE_PATH where ${MORVEX_SRC} ${source})
        list(APPEND violations "${where}: ${line}")
      elseif(line MATCHES "\"([a-z0-9_]+)/" AND CMAKE_MATCH_1 IN_LIST MORVEX_LAYERS AND NOT CMAKE_MATCH_1 IN_LIST allowed)
        file(RELATIVE_PATH where ${MORVEX_SRC} ${source})
        list(APPEND violations "${where}: ${line}")
      endif()
    endforeach()
  endforeach()
  if(violations)
    string(REPLACE ";" "\n  " text "${violations}")
    message(FATAL_ERROR "the ${layer} layer may use only: ${MORVEX_USES_${layer}}\n  ${text}")
  endif()
endfunction()

# Script mode, for the check's own test:
#   cmake -DMORVEX_SRC=<tree> -DLAYER=<layer> -P cmake/layers.cmake
if(CMAKE_SCRIPT_MODE_FILE)
  morvex_check_includes(${LAYER})
  message(STATUS "${LAYER} includes only what the table allows")
endif()
