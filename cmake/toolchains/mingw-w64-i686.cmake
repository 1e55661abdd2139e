# 32-bit Windows: the build that ships (the agent is a 32-bit program).
set(KV_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
