# Shared helpers for the subsystem CMakeLists files.

# Warnings for product code; tests and simulators use them too.
set(FERRO_WARNINGS -Wall -Wextra)

option(FERRO_WERROR "Treat warnings in product code as errors" ON)

# ferro_target_defaults(target): warnings on, as errors in product code.
function(ferro_target_defaults target)
  target_compile_options(${target} PRIVATE ${FERRO_WARNINGS})
  if(FERRO_WERROR)
    # GCC 12 reports false stringop overflows inside inlined std::vector code.
    target_compile_options(${target} PRIVATE -Werror -Wno-error=stringop-overflow)
  endif()
endfunction()

# ferro_ships_32bit(): the programs of this folder (and of its subfolders) ship as 32-bit ones.
# The x86_64 tree builds them too, as 64-bit test builds for machines that cannot start 32-bit
# programs, and labels their tests build64, so a machine that can runs the i686 builds instead.
macro(ferro_ships_32bit)
  set(FERRO_SHIPS_32BIT ON)
endmacro()

# ferro_test_labels(name [label...]): the test's labels, build64 included where it applies.
function(ferro_test_labels name)
  set(labels ${ARGN})
  if(FERRO_SHIPS_32BIT AND FERRO_ARCH STREQUAL "x86_64")
    list(APPEND labels build64)
  endif()
  if(labels)
    set_tests_properties(${name} PROPERTIES LABELS "${labels}")
  endif()
endfunction()

# ferro_add_test(NAME name SOURCES ... [LIBS ...] [LABELS ...] [DEPENDS ...] [NO_GTEST_MAIN]
#                [NEEDS32 filter])
# One GoogleTest executable, run under Wine as one CTest test. NEEDS32 names the cases (a GoogleTest
# filter) whose meaning needs a 32-bit process: in a 64-bit test build they form a test of their own,
# <name>_needs32, labelled needs32, which a run of the 64-bit builds lists as not run.
function(ferro_add_test)
  cmake_parse_arguments(T "NO_GTEST_MAIN" "NAME;TIMEOUT;NEEDS32" "SOURCES;LIBS;LABELS;DEPENDS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_compile_options(${T_NAME} PRIVATE ${FERRO_WARNINGS})
  if(T_NO_GTEST_MAIN)
    target_link_libraries(${T_NAME} PRIVATE gtest gmock ${T_LIBS})
  else()
    target_link_libraries(${T_NAME} PRIVATE gtest_main gmock ${T_LIBS})
  endif()
  if(T_DEPENDS)
    add_dependencies(${T_NAME} ${T_DEPENDS})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(filter)
  if(T_NEEDS32 AND FERRO_ARCH STREQUAL "x86_64")
    set(filter --gtest_filter=-${T_NEEDS32})
    add_test(NAME ${T_NAME}_needs32 COMMAND ${T_NAME} --gtest_color=no --gtest_filter=${T_NEEDS32}
             WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    set_tests_properties(${T_NAME}_needs32 PROPERTIES TIMEOUT ${T_TIMEOUT})
    ferro_test_labels(${T_NAME}_needs32 ${T_LABELS} needs32)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no ${filter}
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  ferro_test_labels(${T_NAME} ${T_LABELS})
endfunction()

# wxWidgets base, built by tools/build-wx.sh into the cache outside the tree.
function(ferro_find_wx out_target)
  set(wx_root ${FERRO_DEPS_CACHE}/wx-3.2.2-${FERRO_ARCH})
  if(NOT TARGET wxbase)
    file(GLOB wx_base_lib ${wx_root}/lib/libwx_baseu-3.2*.a)
    file(GLOB wx_setup_dir ${wx_root}/lib/wx/include/*)
    if(NOT wx_base_lib OR NOT wx_setup_dir)
      message(FATAL_ERROR "wxWidgets base not found in ${wx_root}: run tools/setup.sh")
    endif()
    add_library(wxbase STATIC IMPORTED GLOBAL)
    set_target_properties(wxbase PROPERTIES IMPORTED_LOCATION ${wx_base_lib})
    file(GLOB wx_regex ${wx_root}/lib/libwxregexu-3.2*.a)
    target_include_directories(wxbase INTERFACE ${wx_setup_dir} ${wx_root}/include/wx-3.2)
    # The library is built without debug support: its assert machinery is not in it.
    target_compile_definitions(wxbase INTERFACE __WXMSW__ wxUSE_GUI=0 wxDEBUG_LEVEL=0)
    target_link_libraries(wxbase INTERFACE ${wx_regex} z shlwapi version uuid ole32 oleaut32 uxtheme rpcrt4 ws2_32)
  endif()
  set(${out_target} wxbase PARENT_SCOPE)
endfunction()

# ferro_add_host_tool(NAME name SOURCES ... [INCLUDES ...]): a program the build runs, compiled
# with the build machine's own compiler, since no machine need run a Windows program to build.
# Adds the target <name> and sets <name>_EXECUTABLE (cached) to the program's path.
function(ferro_add_host_tool)
  cmake_parse_arguments(H "" "NAME" "SOURCES;INCLUDES" ${ARGN})
  find_program(FERRO_HOST_CXX NAMES c++ g++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(exe ${CMAKE_BINARY_DIR}/host/${H_NAME})
  set(sources)
  foreach(source ${H_SOURCES})
    get_filename_component(source ${source} ABSOLUTE)
    list(APPEND sources ${source})
  endforeach()
  set(flags)
  set(headers)
  foreach(dir ${H_INCLUDES})
    get_filename_component(dir ${dir} ABSOLUTE)
    list(APPEND flags -I${dir})
    file(GLOB_RECURSE dir_headers CONFIGURE_DEPENDS ${dir}/*.h)
    list(APPEND headers ${dir_headers})
  endforeach()
  add_custom_command(OUTPUT ${exe}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
    COMMAND ${FERRO_HOST_CXX} -std=c++20 -O2 ${FERRO_WARNINGS} -Werror ${flags} ${sources} -o ${exe}
    DEPENDS ${sources} ${headers}
    COMMENT "Building the host tool ${H_NAME}"
    VERBATIM)
  add_custom_target(${H_NAME} DEPENDS ${exe})
  set(${H_NAME}_EXECUTABLE ${exe} CACHE INTERNAL "host tool ${H_NAME}")
endfunction()

# ferro_def_for_arch(out_var def): the module-definition file to use in this tree. i686 keeps the
# stdcall decoration (name@size) that --kill-at strips from the exported names; x64 has one calling
# convention and undecorated names, so there a copy in the build folder drops the sizes.
function(ferro_def_for_arch out def)
  get_filename_component(def ${def} ABSOLUTE)
  if(NOT FERRO_ARCH STREQUAL "x86_64")
    set(${out} ${def} PARENT_SCOPE)
    return()
  endif()
  file(READ ${def} text)
  string(REGEX REPLACE "([A-Za-z0-9_])@[0-9]+" "\\1" text "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  get_filename_component(name ${def} NAME)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/x64-def/${name})
  file(CONFIGURE OUTPUT ${copy} CONTENT "${text}" @ONLY)
  set(${out} ${copy} PARENT_SCOPE)
endfunction()

# ferro_wixl_packages(TARGET name OUTPUT_DIR dir SOURCE_DIR dir PACKAGES name... [FILES file...])
# Windows Installer test packages built with wixl at build time: <SOURCE_DIR>/<name>.wxs becomes
# <OUTPUT_DIR>/<name>.msi; FILES (relative to SOURCE_DIR) are the payload files they take in.
function(ferro_wixl_packages)
  cmake_parse_arguments(W "" "TARGET;OUTPUT_DIR;SOURCE_DIR" "PACKAGES;FILES" ${ARGN})
  set(payload)
  foreach(file ${W_FILES})
    list(APPEND payload ${W_SOURCE_DIR}/${file})
  endforeach()
  set(outputs)
  foreach(package ${W_PACKAGES})
    add_custom_command(OUTPUT ${W_OUTPUT_DIR}/${package}.msi
      COMMAND ${CMAKE_COMMAND} -E make_directory ${W_OUTPUT_DIR}
      COMMAND wixl -o ${W_OUTPUT_DIR}/${package}.msi ${package}.wxs
      WORKING_DIRECTORY ${W_SOURCE_DIR}
      DEPENDS ${W_SOURCE_DIR}/${package}.wxs ${payload} VERBATIM)
    list(APPEND outputs ${W_OUTPUT_DIR}/${package}.msi)
  endforeach()
  add_custom_target(${W_TARGET} DEPENDS ${outputs})
endfunction()
