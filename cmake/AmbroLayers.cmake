# Layers that the build enforces.
#
# Code includes headers as "subsystem/File.h". Instead of putting the source
# root on every include path, which would let any library include any header,
# each library publishes only its own headers: a folder under the build tree
# holds links to them, and that folder becomes the library's PUBLIC include
# directory. A library therefore sees the headers of the libraries it links
# (and theirs, transitively) and nothing else, so an include that reaches up
# a layer fails to compile.
#
# Only the headers directly in FOLDER are published, not those of its
# subfolders: live/ does not publish live/view/, which is a layer above it.
#
#   ambro_publish_headers(<target> <folder> [HEADERS <name>...])
#
# FOLDER is relative to the source root. HEADERS names a subset of the
# folder's headers for a library that owns only some of them.
function(ambro_publish_headers target folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "HEADERS")
  set(source_dir ${PROJECT_SOURCE_DIR}/${folder})
  # One root per library and folder, so that a library may publish several.
  string(REPLACE "/" "_" folder_tag ${folder})
  set(layer_root ${PROJECT_BINARY_DIR}/layers/${target}/${folder_tag})
  set(layer_dir ${layer_root}/${folder})

  if(arg_HEADERS)
    set(headers ${arg_HEADERS})
  else()
    # CONFIGURE_DEPENDS: a header added or removed re-runs the configuration.
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${source_dir} ${source_dir}/*.h)
  endif()

  # Rebuilt from scratch so that a removed header leaves no link behind.
  file(REMOVE_RECURSE ${layer_root})
  file(MAKE_DIRECTORY ${layer_dir})
  foreach(header IN LISTS headers)
    if(NOT EXISTS ${source_dir}/${header})
      message(FATAL_ERROR "${target}: no header ${folder}/${header}")
    endif()
    file(CREATE_LINK ${source_dir}/${header} ${layer_dir}/${header} SYMBOLIC)
  endforeach()

  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${layer_root})
  else()
    target_include_directories(${target} PUBLIC ${layer_root})
  endif()
endfunction()
