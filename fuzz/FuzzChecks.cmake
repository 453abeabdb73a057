# The checks the fuzz targets and the regression test share, defined once for whichever of
# fuzz/ and tests/fuzz/ comes first.
if(NOT TARGET corvan_fuzzchecks)
  add_library(corvan_fuzzchecks STATIC ${CMAKE_CURRENT_LIST_DIR}/FuzzChecks.cpp ${CMAKE_CURRENT_LIST_DIR}/FuzzChecks.h)
  target_include_directories(corvan_fuzzchecks PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(corvan_fuzzchecks PUBLIC screens recorder store common)
endif()
