# Each library sees its own folder whole, and hands its users only the
# headers named public: a user that reaches for another library's inner
# header fails to build. The trees are links into the sources, so an edited
# header needs no new configure.
function(varnelo_headers target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "OWN;PUBLIC")
  set(own ${CMAKE_BINARY_DIR}/include/${target}/own)
  set(public ${CMAKE_BINARY_DIR}/include/${target}/public)
  file(REMOVE_RECURSE ${CMAKE_BINARY_DIR}/include/${target})
  foreach(folder ${arg_OWN})
    get_filename_component(parent ${own}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${own}/${folder} SYMBOLIC)
  endforeach()
  foreach(header ${arg_PUBLIC})
    get_filename_component(parent ${public}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${header} ${public}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${own} INTERFACE ${public})
endfunction()
