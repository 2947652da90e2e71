# Warnings are errors in our own code; third-party code (GoogleTest) is built without them.
function(ls_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Werror)
endfunction()

# Collects the sources of one folder; new files are picked up without editing CMake.
function(ls_glob out)
  file(GLOB files CONFIGURE_DEPENDS ${ARGN})
  set(${out} ${files} PARENT_SCOPE)
endfunction()

if(LS_ARCH_FLAGS)
  # Code generation of the build's processor (cmake/toolchain-mingw-i686.cmake).
  add_compile_options(${LS_ARCH_FLAGS})
endif()

if(WIN32)
  # Static, small executables: no MinGW DLLs at run time.
  add_compile_options(-ffunction-sections -fdata-sections)
  add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections)
  # The same bytes from the same source, wherever and whenever it is built: no link time in the
  # PE header (nor the checksum that follows from it).
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

# The Windows program's own code: no exceptions and no thread-safe guards on static locals.
# A raised error ends the program where it is raised (framework/errors.h), so nothing is ever
# unwound, and the static locals are first reached on the window's thread or before the
# player's worker starts. Without the C++ runtime's exception machinery and guard calls, the
# program carries neither the unwinder nor the POSIX threads runtime behind them. The 32-bit
# build drops the unwind tables too (the 64-bit one keeps them: Windows itself reads them).
# Test code keeps exceptions.
function(ls_program_code target)
  if(WIN32)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-threadsafe-statics)
    # No build folder in the program's code, wherever the tree stands. (Tests keep their own
    # paths: some find the tree's files from their source file's name.)
    target_compile_options(${target} PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
      -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
      target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables)
    endif()
  endif()
endfunction()

# A static library from every .cpp of one folder (an interface library while the folder is empty).
function(ls_folder_library name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  ls_glob(sources ${dir}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    ls_warnings(${name})
    if(NOT dir MATCHES "/tests/")
      ls_program_code(${name})
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_LIBS})
  endif()
endfunction()
