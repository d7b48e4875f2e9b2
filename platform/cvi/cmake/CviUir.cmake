# cvi_add_uir(TARGET target UIR file.uir [FILE_NAME name] [RESOURCE_NAME name])
# Embeds a user-interface resource in the target as a resource of type UIRFILETYPE (named
# RESOURCE_NAME, by default the file name) and adds the generated header of its constants
# (<stem>.h, on the include path of the target and its users) and the source registering its
# callbacks for FILE_NAME, the name the program passes to LoadPanel and LoadMenuBar (by default the
# file's own name).
function(cvi_add_uir)
  cmake_parse_arguments(U "" "TARGET;UIR;FILE_NAME;RESOURCE_NAME" "" ${ARGN})
  if(NOT U_TARGET OR NOT U_UIR)
    message(FATAL_ERROR "cvi_add_uir needs TARGET and UIR")
  endif()
  get_filename_component(uir ${U_UIR} ABSOLUTE)
  if(NOT U_FILE_NAME)
    get_filename_component(U_FILE_NAME ${uir} NAME)
  endif()
  if(NOT U_RESOURCE_NAME)
    set(U_RESOURCE_NAME ${U_FILE_NAME})
  endif()
  string(MAKE_C_IDENTIFIER ${U_FILE_NAME} stem)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/uir_${U_TARGET})
  set(header ${out}/${stem}.h)
  set(source ${out}/${stem}_callbacks.cpp)
  set(rc ${out}/${stem}.rc)
  file(MAKE_DIRECTORY ${out})
  add_custom_command(OUTPUT ${header} ${source}
    COMMAND ${uirgen_EXECUTABLE} ${uir} ${U_FILE_NAME} ${header} ${source}
    DEPENDS uirgen ${uirgen_EXECUTABLE} ${uir}
    COMMENT "Generating the constants of ${U_FILE_NAME}"
    VERBATIM)
  file(CONFIGURE OUTPUT ${rc} CONTENT "\"${U_RESOURCE_NAME}\" UIRFILETYPE \"${uir}\"\n")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${uir})
  target_sources(${U_TARGET} PRIVATE ${header} ${source} ${rc})
  # Users of a library that carries the resource see its constants too.
  target_include_directories(${U_TARGET} PUBLIC ${out})
endfunction()
