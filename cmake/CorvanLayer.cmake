# A layer is a static library made of every source in its folder, so that adding a file
# needs no edit here. Layers below `screens` must not link Widgets.
function(corvan_layer name)
  cmake_parse_arguments(L "" "" "QT;DEPS;EXCLUDE" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(x ${L_EXCLUDE})
    list(REMOVE_ITEM _src ${CMAKE_CURRENT_SOURCE_DIR}/${x})
  endforeach()
  if(NOT _src)
    # A layer whose first file has not landed yet still gives a library to link.
    set(_empty ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${_empty} "// empty layer\n")
    set(_src ${_empty})
  endif()
  add_library(${name} STATIC ${_src})
  target_link_libraries(${name} PUBLIC corvan_common ${L_DEPS})
  foreach(q ${L_QT})
    target_link_libraries(${name} PUBLIC Qt6::${q})
  endforeach()
endfunction()

# Each tst_*.cpp in the calling folder becomes one QtTest program registered with CTest,
# run headless with its own empty config folder and program folder.
function(corvan_tests)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(f ${_tests})
    get_filename_component(n ${f} NAME_WE)
    get_filename_component(dir ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    set(t ${dir}_${n})
    add_executable(${t} ${f})
    target_link_libraries(${t} PRIVATE corvan_testsupport ${T_LIBS} Qt6::Test)
    add_test(NAME ${t} COMMAND ${t})
    set_tests_properties(${t} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;CORVAN21_TESTING=1"
      TIMEOUT 300)
  endforeach()
endfunction()
