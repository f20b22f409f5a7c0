# kvo_include_root(TARGET COMPONENT...): compiles TARGET against an include
# root that holds only the listed source folders (links to them) besides the
# public headers, so that an #include of a layer it may not use fails to build.
function(kvo_include_root target)
  set(root ${PROJECT_BINARY_DIR}/include-roots/${target})
  file(MAKE_DIRECTORY ${root})
  foreach(component ${ARGN})
    if(NOT EXISTS ${root}/${component})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${component} ${root}/${component} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PRIVATE ${root} ${PROJECT_SOURCE_DIR}/include ${PROJECT_BINARY_DIR}/include)
endfunction()
