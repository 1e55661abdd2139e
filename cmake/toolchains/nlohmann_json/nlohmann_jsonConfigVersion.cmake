# The version of the build machine's headers (nlohmann-json3-dev).
set(PACKAGE_VERSION 3.11.2)
if(PACKAGE_FIND_VERSION_MAJOR EQUAL 3 OR NOT PACKAGE_FIND_VERSION)
  set(PACKAGE_VERSION_COMPATIBLE TRUE)
endif()
