# The project's libraries: one per source folder, each reaching only its own headers and
# those of the libraries it links.
#
# Every library exposes an include root of its own, headers/<target>/ in the build
# folder, holding links to the headers of its folder alone (not of the folders under
# it: platform/ does not hand out platform/window/). Includes keep their full path from
# src/, so #include "chart/axes/Axis.h" resolves through quarvel_chart_axes's root and
# only in targets that link quarvel_chart_axes. A header of a library the target does
# not link is then not found: the compiler stops at the include.
#
# Example: quarvel_model links quarvel_format, so its include path is
#   build/headers/quarvel_model/   (model/Gauss.h, model/ProjectionModel.h, ...)
#   build/headers/quarvel_format/  (format/DecimalForm.h, ...)
# and #include "platform/Canvas.h" in src/model/ fails with "No such file or directory".

# Adds the static library `target` of src/`folder`, built from the sources named after
# `folder`, with the include root described above. The links are made at configure
# time; the glob is checked at every build, so a header added or removed reconfigures.
function(quarvel_add_library target folder)
  add_library(${target} STATIC ${ARGN})
  set(root ${PROJECT_BINARY_DIR}/headers/${target})
  # Made afresh at each configure, so a removed or renamed header leaves no stale link.
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
  list(SORT headers)
  if(NOT headers)
    message(FATAL_ERROR "src/${folder} has no header: a library without one offers nothing to include")
  endif()
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
  # For the include-reach test (tests/CMakeLists.txt): the libraries and one header of each.
  list(GET headers 0 first)
  get_filename_component(first ${first} NAME)
  set_target_properties(${target} PROPERTIES QUARVEL_SAMPLE_HEADER ${folder}/${first})
  set_property(GLOBAL APPEND PROPERTY QUARVEL_LIBRARIES ${target})
endfunction()

# Sets `out` to every target `target` reaches through its links, direct or not, test
# helpers and imported targets included (`target` itself first).
function(quarvel_link_closure target out)
  set(pending ${target})
  set(seen)
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    get_target_property(type ${current} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      list(APPEND pending ${link})
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()
