# The Windows build: ANSI Win32, the C++ runtime as DLLs beside the binaries
# (classes and exceptions cross our module boundaries). The shipped program is
# 32-bit (i686); the same sources also build for x86_64 so that the Windows
# tests can run under Wine where 32-bit code cannot execute.
add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0800
  WIN32_LEAN_AND_MEAN NOMINMAX STRICT)
enable_language(RC)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -O coff --target=pe-i386")
  set(QW_GCC_RUNTIME_DLL libgcc_s_dw2-1.dll)
else()
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -O coff --target=pe-x86-64")
  set(QW_GCC_RUNTIME_DLL libgcc_s_seh-1.dll)
endif()

# Third-party libraries built by scripts/setup.sh from Debian's sources.
if(DEFINED ENV{QW_CACHE})
  set(_qw_cache "$ENV{QW_CACHE}")
else()
  set(_qw_cache "$ENV{HOME}/.cache/qw")
endif()
set(QW_DEPS_PREFIX "${_qw_cache}/deps-${CMAKE_SYSTEM_PROCESSOR}" CACHE PATH
    "Prefix of the cross-built third-party libraries")
if(NOT EXISTS ${QW_DEPS_PREFIX}/lib/libroaring.a)
  message(FATAL_ERROR "Third-party libraries missing in ${QW_DEPS_PREFIX}: run scripts/setup.sh")
endif()
foreach(lib cryptopp pugixml sigc-2.0 roaring)
  add_library(qw_dep_${lib} STATIC IMPORTED GLOBAL)
  set_target_properties(qw_dep_${lib} PROPERTIES
    IMPORTED_LOCATION ${QW_DEPS_PREFIX}/lib/lib${lib}.a
    INTERFACE_INCLUDE_DIRECTORIES "${QW_DEPS_PREFIX}/include")
endforeach()
set_property(TARGET qw_dep_sigc-2.0 APPEND PROPERTY INTERFACE_INCLUDE_DIRECTORIES
  ${QW_DEPS_PREFIX}/include/sigc++-2.0 ${QW_DEPS_PREFIX}/lib/sigc++-2.0/include)
add_library(QW::cryptopp ALIAS qw_dep_cryptopp)
add_library(QW::pugixml ALIAS qw_dep_pugixml)
add_library(QW::sigc ALIAS qw_dep_sigc-2.0)
add_library(QW::roaring ALIAS qw_dep_roaring)

# Copy the C++ runtime DLLs beside our binaries, without their debugging
# sections: those are part of the image, and Wine reads a whole image whose
# sections are not page-aligned in the file into memory. libstdc++'s alone
# cost every process some 16 MB of memory for nothing anybody debugs.
find_program(QW_MINGW_STRIP NAMES ${QW_MINGW}-strip)
foreach(dll libstdc++-6.dll ${QW_GCC_RUNTIME_DLL} libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS "${_path}")
    file(GLOB _path /usr/lib/gcc/${QW_MINGW}/*-posix/${dll} /usr/${QW_MINGW}/lib/${dll})
    list(GET _path 0 _path)
  endif()
  if(NOT EXISTS "${_path}")
    message(FATAL_ERROR "C++ runtime DLL ${dll} not found")
  endif()
  set(_dest ${CMAKE_BINARY_DIR}/bin/${dll})
  if(EXISTS ${_dest})
    # A whole copy made before the stripping is made again.
    file(SIZE ${_path} _size_from)
    file(SIZE ${_dest} _size_to)
    if(_size_from EQUAL _size_to)
      file(REMOVE ${_dest})
    endif()
  endif()
  if(QW_MINGW_STRIP AND NOT EXISTS ${_dest})
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    execute_process(COMMAND ${QW_MINGW_STRIP} --strip-debug -o ${_dest} ${_path} RESULT_VARIABLE _stripped)
    if(NOT _stripped EQUAL 0)
      file(REMOVE ${_dest})
    endif()
  endif()
  if(NOT EXISTS ${_dest})
    file(COPY ${_path} DESTINATION ${CMAKE_BINARY_DIR}/bin)
  endif()
endforeach()

# What ships carries no debugging sections (they are part of the image, see
# above), yet stays debuggable: after each link the DWARF goes into NAME.debug
# beside the binary, and the binary keeps a .gnu_debuglink to it, which gdb,
# addr2line and Wine's debugger follow.
find_program(QW_MINGW_OBJCOPY NAMES ${QW_MINGW}-objcopy)
function(qw_split_debug_info target)
  if(NOT QW_MINGW_OBJCOPY)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${QW_MINGW_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}>
      $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${QW_MINGW_OBJCOPY} --strip-debug
      --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()
