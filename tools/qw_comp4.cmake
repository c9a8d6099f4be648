# qw_comp4, the macro-program compiler: one source built for the build host
# (it compiles every program after the editor is linked, so that no program
# is older than the editor) and, in the Windows build, as qw_comp4.exe
# shipped beside the editor.
add_library(qwcomp STATIC qw_comp4/qwc.cpp)
add_executable(qw_comp4 qw_comp4/main.cpp)
target_link_libraries(qw_comp4 PRIVATE qwcomp)

# The compiler that runs during the build: in the host build the one above;
# in a cross build the same sources compiled once more by the host's compiler.
if(QW_HOST)
  set(QW_COMP4_BUILD_EXE $<TARGET_FILE:qw_comp4>)
  set(QW_COMP4_BUILD_DEP qw_comp4)
else()
  find_program(QW_HOST_CXX NAMES c++ g++ REQUIRED)
  set(QW_COMP4_BUILD_EXE ${CMAKE_BINARY_DIR}/hosttools/qw_comp4)
  add_custom_command(OUTPUT ${QW_COMP4_BUILD_EXE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/hosttools
    COMMAND ${QW_HOST_CXX} -std=c++20 -O1 -I${CMAKE_SOURCE_DIR}
            ${CMAKE_CURRENT_SOURCE_DIR}/qw_comp4/qwc.cpp ${CMAKE_CURRENT_SOURCE_DIR}/qw_comp4/main.cpp
            -o ${QW_COMP4_BUILD_EXE}
    DEPENDS qw_comp4/qwc.cpp qw_comp4/qwc.h qw_comp4/main.cpp ${CMAKE_SOURCE_DIR}/commands/interp_natives.inc
    COMMENT "Building the macro compiler for the build host" VERBATIM)
  add_custom_target(qw_comp4_build_host DEPENDS ${QW_COMP4_BUILD_EXE})
  set(QW_COMP4_BUILD_DEP qw_comp4_build_host)
endif()

# The macro folder beside the program: the sources, the include header
# generated from the editor's table of functions, and the compiled programs;
# the keyboard master goes to the master folder.
set(QW_MACRO_OUT ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/SOURCE)
set(QW_CONFIG_OUT ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/CONFIG)
file(GLOB QW_MACRO_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/macros/*.c)
set(QW_NATIVES_HEADER ${QW_MACRO_OUT}/qw_natives.h)
add_custom_command(OUTPUT ${QW_NATIVES_HEADER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QW_MACRO_OUT} ${QW_CONFIG_OUT}
  COMMAND ${QW_COMP4_BUILD_EXE} -h ${QW_NATIVES_HEADER}
  DEPENDS ${QW_COMP4_BUILD_DEP} ${CMAKE_SOURCE_DIR}/commands/interp_natives.inc
  COMMENT "Writing the macro include header" VERBATIM)
set(QW_MACRO_OUTPUTS ${QW_NATIVES_HEADER})
foreach(src IN LISTS QW_MACRO_SOURCES)
  get_filename_component(stem ${src} NAME_WE)
  set(prog ${QW_MACRO_OUT}/${stem}.ces)
  add_custom_command(OUTPUT ${prog}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${src} ${QW_MACRO_OUT}/${stem}.c
    COMMAND ${QW_COMP4_BUILD_EXE} -s ${QW_MACRO_OUT}/${stem}.map -i "${QW_MACRO_OUT};${QW_CONFIG_OUT}"
            ${QW_MACRO_OUT}/${stem}.c -o ${prog}
    DEPENDS ${src} ${QW_NATIVES_HEADER} ${QW_COMP4_BUILD_DEP} $<$<TARGET_EXISTS:QW32>:QW32>
    COMMENT "Compiling macro program ${stem}" VERBATIM)
  list(APPEND QW_MACRO_OUTPUTS ${prog})
  # The editor runs many titles without the ".ces" run flag (mouse and
  # text-bar programs, undo, ...); those load "<title>.cex". Every program is
  # shipped in both forms so that no caller finds its program missing.
  set(cex ${QW_MACRO_OUT}/${stem}.cex)
  add_custom_command(OUTPUT ${cex}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${src} ${QW_MACRO_OUT}/${stem}.c
    COMMAND ${QW_COMP4_BUILD_EXE} -i "${QW_MACRO_OUT};${QW_CONFIG_OUT}" ${QW_MACRO_OUT}/${stem}.c -o ${cex}
    DEPENDS ${src} ${prog} ${QW_NATIVES_HEADER} ${QW_COMP4_BUILD_DEP} $<$<TARGET_EXISTS:QW32>:QW32>
    COMMENT "Compiling macro program ${stem} (.cex)" VERBATIM)
  list(APPEND QW_MACRO_OUTPUTS ${cex})
endforeach()
add_custom_command(OUTPUT ${QW_CONFIG_OUT}/Keyboard.xxx
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/macros/Keyboard.xxx ${QW_CONFIG_OUT}/Keyboard.xxx
  DEPENDS ${CMAKE_SOURCE_DIR}/macros/Keyboard.xxx ${QW_NATIVES_HEADER} VERBATIM)
list(APPEND QW_MACRO_OUTPUTS ${QW_CONFIG_OUT}/Keyboard.xxx)
add_custom_target(macros ALL DEPENDS ${QW_MACRO_OUTPUTS})
