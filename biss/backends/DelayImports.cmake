# Delay-import libraries for the adapter libraries outside the product: they
# are bound on first call, never at load, so ferrolink loads without them.
set(FERRO_DELAY_IMPORTS)
foreach(import ftd2xx dlportio)
  set(lib ${CMAKE_CURRENT_BINARY_DIR}/lib${import}_delay.a)
  ferro_def_for_arch(def ${CMAKE_CURRENT_SOURCE_DIR}/backends/${import}.delay.def)
  # Run beside the output: dlltool names its symbols after the path it is given.
  add_custom_command(OUTPUT ${lib}
                     COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --output-delaylib lib${import}_delay.a --kill-at
                     WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                     DEPENDS ${def} VERBATIM)
  list(APPEND FERRO_DELAY_IMPORTS ${lib})
endforeach()
add_custom_target(ferrolink_delay_imports DEPENDS ${FERRO_DELAY_IMPORTS})
