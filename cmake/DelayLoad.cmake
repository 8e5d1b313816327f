# pb_delay_load(VAR LIB): sets VAR to what to link for the system library LIB so that its DLL
# loads at the first call into it, not in the loader before the program's own code. Under Wine,
# comctl32 attached in the loader (its classes, the desktop, the display driver, theming) made a
# minimal window about a tenth slower to answer on a busy machine; loaded at the first call, the
# same DLL cost nothing measurable.
function(pb_delay_load var lib)
  if(MSVC)
    set(${var} ${lib} delayimp PARENT_SCOPE)
    add_link_options(/DELAYLOAD:${lib}.dll)
    return()
  endif()
  # MinGW: a delay-import library made from the same functions as the system's import library.
  if(NOT CMAKE_NM OR NOT CMAKE_DLLTOOL)
    message(FATAL_ERROR "delay-loading ${lib} needs the toolchain's nm and dlltool")
  endif()
  find_library(implib_${lib} NAMES ${lib} REQUIRED)
  execute_process(COMMAND ${CMAKE_NM} --defined-only ${implib_${lib}}
                  OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "[^\n]* T [^\n]*" lines "${symbols}")
  set(def "LIBRARY ${lib}.dll\nEXPORTS\n")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE ".* T " "" name "${line}")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4) # C names carry a leading underscore there
      string(SUBSTRING "${name}" 1 -1 name)
    endif()
    string(APPEND def "${name}\n")
  endforeach()
  set(dir ${CMAKE_BINARY_DIR}/delayload)
  file(WRITE ${dir}/${lib}.def "${def}")
  execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${dir}/${lib}.def
                          --output-delaylib ${dir}/lib${lib}-delay.a
                  COMMAND_ERROR_IS_FATAL ANY)
  set(${var} ${dir}/lib${lib}-delay.a PARENT_SCOPE)
endfunction()
