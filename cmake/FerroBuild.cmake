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

# ferro_add_test(NAME name SOURCES ... [LIBS ...] [LABELS ...] [DEPENDS ...] [NO_GTEST_MAIN])
# One GoogleTest executable, run under Wine as one CTest test.
function(ferro_add_test)
  cmake_parse_arguments(T "NO_GTEST_MAIN" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;DEPENDS" ${ARGN})
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
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
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
