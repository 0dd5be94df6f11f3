# The layers of the program, each a library that links only the layers below it.
#
# A library's sources reach their own folder and the folders of the libraries they link, and
# nothing else: instead of the whole source tree, each library publishes an include folder of
# its own that holds a single link to its source folder. An include of a layer above (or of a
# sibling) therefore fails to build, as does an include of Qt Widgets in an engine library,
# since engine libraries never link them.

# vantrel_layer_includes(<target> <folder>): `#include "<folder>/x.h"` works for <target> and
# every target that links it.
function(vantrel_layer_includes target folder)
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# vantrel_engine_library(<name> FOLDER <folder> [LINKS <lower layers>...] [PRIVATE_LINKS ...])
# An engine library: QtCore at most, never Qt Gui or Widgets.
function(vantrel_engine_library name)
  cmake_parse_arguments(L "" "FOLDER" "LINKS;PRIVATE_LINKS" ${ARGN})
  add_library(${name} STATIC)
  vantrel_layer_includes(${name} ${L_FOLDER})
  target_link_libraries(${name} PUBLIC Qt6::Core Threads::Threads vantrel_build_settings ${L_LINKS}
    PRIVATE ${L_PRIVATE_LINKS})
  set_property(GLOBAL APPEND PROPERTY VANTREL_ENGINE_LAYERS ${name})
  set_property(TARGET ${name} PROPERTY VANTREL_FOLDER ${L_FOLDER})
endfunction()

# vantrel_window_library(<name> [FOLDER <folder>] LINKS <engine and window libraries>...)
# The windows of a folder: beside its engine library, linked to it and to the toolkit. A folder
# without an engine library of its own (ui/) names its FOLDER here.
function(vantrel_window_library name)
  cmake_parse_arguments(L "" "FOLDER" "LINKS" ${ARGN})
  add_library(${name} STATIC)
  if(L_FOLDER)
    vantrel_layer_includes(${name} ${L_FOLDER})
  endif()
  target_link_libraries(${name} PUBLIC Qt6::Gui Qt6::Widgets vantrel_build_settings ${L_LINKS})
endfunction()
