# Compiles every public header of a library on its own, sub-folders included,
# so a header that only builds thanks to what its includer happened to
# include first fails here.
function(embossa_check_headers target)
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(sources)
  foreach(header IN LISTS headers)
    string(MAKE_C_IDENTIFIER ${header} id)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/header_check/${id}.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "#include \"${header}\"\n")
    list(APPEND sources ${source})
  endforeach()
  if(sources)
    add_library(${target}_header_check OBJECT ${sources})
    target_include_directories(${target}_header_check PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target}_header_check PRIVATE ${target})
  endif()
endfunction()
