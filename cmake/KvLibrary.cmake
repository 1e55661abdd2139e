# One library per folder. A folder's target exposes only its own headers:
# its include directory holds a single link, <folder> -> the folder, so
# "other/x.h" resolves only for the folders a target links. A missing link
# in the graph is a compile error, not a silent reach across layers.
#
#   kv_library(<folder> SOURCES <files...> [PUBLIC <folders...>] [PRIVATE <folders...>]
#              [LIBRARIES <other targets...>])
#
# Folders are linked as their targets kv<folder>. PUBLIC where a header of
# the folder includes the other folder's headers, PRIVATE otherwise.
# scripts/check-layers.sh reads these calls to check includes and cycles.

function(kv_expose_folder target folder source_dir)
  set(root ${CMAKE_BINARY_DIR}/include/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${source_dir} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()

function(kv_library folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE;LIBRARIES" ${ARGN})
  set(target kv${folder})
  add_library(${target} STATIC ${ARG_SOURCES})
  kv_expose_folder(${target} ${folder} ${CMAKE_CURRENT_SOURCE_DIR})
  list(TRANSFORM ARG_PUBLIC PREPEND kv)
  list(TRANSFORM ARG_PRIVATE PREPEND kv)
  target_link_libraries(${target} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE} ${ARG_LIBRARIES})
endfunction()
