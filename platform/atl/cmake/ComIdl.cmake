# IDL compilation with widl, against Wine's system IDL files and stdole2.tlb.
#
# ferro_compile_idl(<name> <file.idl> [HEADER] [TYPELIB] [IID] [PROXY])
# Writes into the current binary folder and sets in the caller's scope:
#   <name>_INCLUDE_DIR  folder of <name>.h (HEADER)
#   <name>_TLB          <name>.tlb, repaired after widl (TYPELIB; tools/widl-typelib-fix.pl)
#   <name>_IID_SOURCE   <name>_i.c, the interface identifiers (IID)
#   <name>_PROXY_SOURCE <name>_p.c, -Oif marshalling code (PROXY)
# and a target <name>_idl that builds them.

# The settings are cached so that every folder sees them, not only this one's.
set(FERRO_WIDL ${FERRO_ARCH}-w64-mingw32-widl CACHE INTERNAL "")
set(FERRO_WINE_IDL_DIR /usr/include/wine/wine/windows CACHE INTERNAL "")
if(FERRO_ARCH STREQUAL "i686")
  set(FERRO_WIDL_ARCH -m32 CACHE INTERNAL "")
  set(FERRO_STDOLE_DIR /usr/lib/i386-linux-gnu/wine/i386-windows CACHE INTERNAL "")
else()
  set(FERRO_WIDL_ARCH -m64 CACHE INTERNAL "")
  set(FERRO_STDOLE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows CACHE INTERNAL "")
endif()
if(NOT EXISTS ${FERRO_STDOLE_DIR}/stdole2.tlb)
  message(FATAL_ERROR "stdole2.tlb not found in ${FERRO_STDOLE_DIR}: install wine and wine32:i386")
endif()
set(FERRO_TYPELIB_FIX_TOOL ${CMAKE_SOURCE_DIR}/tools/widl-typelib-fix.pl CACHE INTERNAL "")

function(ferro_compile_idl name idl)
  cmake_parse_arguments(I "HEADER;TYPELIB;IID;PROXY" "" "" ${ARGN})
  get_filename_component(idl ${idl} ABSOLUTE)
  get_filename_component(idl_dir ${idl} DIRECTORY)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  set(widl ${FERRO_WIDL} ${FERRO_WIDL_ARCH} --nostdinc -I${FERRO_WINE_IDL_DIR} -I${idl_dir}
      -L${FERRO_STDOLE_DIR})
  set(outputs)
  if(I_HEADER)
    add_custom_command(OUTPUT ${out}/${name}.h
      COMMAND ${widl} -h -o ${out}/${name}.h ${idl}
      DEPENDS ${idl} VERBATIM)
    list(APPEND outputs ${out}/${name}.h)
    set(${name}_INCLUDE_DIR ${out} PARENT_SCOPE)
  endif()
  if(I_TYPELIB)
    add_custom_command(OUTPUT ${out}/${name}.tlb
      COMMAND ${widl} -t -o ${out}/${name}.tlb ${idl}
      COMMAND perl ${FERRO_TYPELIB_FIX_TOOL} ${idl} ${out}/${name}.tlb
      DEPENDS ${idl} ${FERRO_TYPELIB_FIX_TOOL} VERBATIM)
    list(APPEND outputs ${out}/${name}.tlb)
    set(${name}_TLB ${out}/${name}.tlb PARENT_SCOPE)
  endif()
  if(I_IID)
    add_custom_command(OUTPUT ${out}/${name}_i.c
      COMMAND ${widl} -u -o ${out}/${name}_i.c ${idl}
      DEPENDS ${idl} VERBATIM)
    list(APPEND outputs ${out}/${name}_i.c)
    set(${name}_IID_SOURCE ${out}/${name}_i.c PARENT_SCOPE)
  endif()
  if(I_PROXY)
    add_custom_command(OUTPUT ${out}/${name}_p.c
      COMMAND ${widl} -Oif -p -o ${out}/${name}_p.c ${idl}
      DEPENDS ${idl} VERBATIM)
    list(APPEND outputs ${out}/${name}_p.c)
    set(${name}_PROXY_SOURCE ${out}/${name}_p.c PARENT_SCOPE)
  endif()
  add_custom_target(${name}_idl DEPENDS ${outputs})
endfunction()
