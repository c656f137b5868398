# Flags shared by every target.
# Sources are UTF-8; narrow literals become code page 936 bytes, as the program's texts are GBK.
add_compile_options(
  -finput-charset=UTF-8 -fexec-charset=GBK
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual
  -Wformat=2 -Wimplicit-fallthrough -Wno-missing-field-initializers
)
# Sizes and positions are computed in double precision and truncated: on i686 the x87 unit
# would keep 80-bit intermediates (1920 * 0.6 then truncates to 1151, not 1152). SSE2 does
# exact double arithmetic, as on x86_64; every processor Windows 8 and later runs on has it.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_compile_options(-msse2 -mfpmath=sse)
endif()
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 STRICT)
# Static runtime: the executables import no MinGW DLL and run on a bare Windows.
add_link_options(-static -static-libgcc -static-libstdc++)
# Sections aligned in the file as in memory: Wine then maps an image's pages from the file,
# sharing them and loading only those touched, where with the linker's 512-byte default it
# copies the whole image into private memory at load (1.7 MB for tandrel.exe). Windows maps
# both alike; the files grow by a few KB.
add_link_options(-Wl,--file-alignment,4096)

# Library of a subsystem: tandrel_add_library(name SOURCES ... LIBS ...)
function(tandrel_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# Writes a version resource for a shipped file; returns the .rc path in OUT_VAR.
function(tandrel_version_rc OUT_VAR file_name description)
  set(VERSION_FILE_NAME "${file_name}")
  set(VERSION_DESCRIPTION "${description}")
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${file_name}.version.rc")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in "${rc}" @ONLY)
  set(${OUT_VAR} "${rc}" PARENT_SCOPE)
endfunction()

# The debug information of a shipped executable or library goes into build/debug/<file>.debug
# (<file> named after the target) and the file keeps only a link to it: Wine reads the whole
# image into private memory at load, so debug sections left in the file cost the running
# program about 10 MB.
# (gdb finds the split file through the link; point it at build/debug with "set debug-file-directory".)
function(tandrel_split_debug_info target)
  set(debug_file ${PROJECT_BINARY_DIR}/debug/${target}$<TARGET_FILE_SUFFIX:${target}>.debug)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/debug
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug_file}
    COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=${debug_file} $<TARGET_FILE:${target}>
    COMMENT "Debug information of ${target} into build/debug"
    VERBATIM)
endfunction()
