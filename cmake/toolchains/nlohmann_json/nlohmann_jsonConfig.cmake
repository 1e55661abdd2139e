# nlohmann/json for a cross-build: the build machine's header-only library,
# seen through a folder that holds only its headers. Its own package
# configuration would add /usr/include, whose C library headers are Linux's.
if(NOT TARGET nlohmann_json::nlohmann_json)
  set(_kv_json_root ${CMAKE_BINARY_DIR}/include/third_party)
  file(MAKE_DIRECTORY ${_kv_json_root})
  file(CREATE_LINK /usr/include/nlohmann ${_kv_json_root}/nlohmann SYMBOLIC)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_kv_json_root})
endif()
