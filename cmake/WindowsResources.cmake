# Resource scripts of the Windows executables, compiled with the toolchain's
# windres into COFF objects that are linked like any other object file. (The
# project's compile options are for C and C++ and would be passed to windres
# by CMake's own RC language, so the resource compiler runs on its own here.)
#
# add_resource_object(<output object> <script.rc> [INCLUDE_DIRS dirs...] [DEPENDS files/targets...])
# The files a script names (icons, raw data) are found in INCLUDE_DIRS and
# must be listed in DEPENDS, so that a change to them recompiles the script.
function(add_resource_object object script)
  cmake_parse_arguments(PARSE_ARGV 2 resource "" "" "INCLUDE_DIRS;DEPENDS")
  set(include_options)
  foreach(dir ${resource_INCLUDE_DIRS})
    list(APPEND include_options --include-dir=${dir})
  endforeach()
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${CMAKE_RC_COMPILER} ${include_options} -O coff -i ${script} -o ${object}
    DEPENDS ${script} ${resource_DEPENDS}
    COMMENT "Compiling resources ${object}"
    VERBATIM)
  set_source_files_properties(${object} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
endfunction()
