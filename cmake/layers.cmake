if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)  # the build runs the include check as a script
endif()

# The source folders in layers, lowest first. A folder's code includes headers
# of its own folder and of folders in lower layers only, and its libraries
# link the same way: nothing knows what sits above it, and folders of one
# layer know nothing of each other.
set(TARNVALE_LAYERS
  "platform raster"  # the system's services; the bitmap and image files
  "settings"         # the settings record and its file
  "meter display"    # the measurement; drawing on the work bitmap
  "update"           # one capture buffer, measured and drawn
  "capture setup"    # the capture cycle and recovery; the setup dialog
  "app")             # the meter window and the program

# tarnvale_layer_of(<folder> <variable>): the folder's layer, counted from 0 at
# the bottom; -1 for a folder that is no layer.
function(tarnvale_layer_of folder out)
  set(level 0)
  foreach(layer IN LISTS TARNVALE_LAYERS)
    string(REPLACE " " ";" members "${layer}")
    if(folder IN_LIST members)
      set(${out} ${level} PARENT_SCOPE)
      return()
    endif()
    math(EXPR level "${level} + 1")
  endforeach()
  set(${out} -1 PARENT_SCOPE)
endfunction()

# tarnvale_layered_folders(<variable>): every folder of the layers.
function(tarnvale_layered_folders out)
  string(REPLACE " " ";" folders "${TARNVALE_LAYERS}")
  set(${out} ${folders} PARENT_SCOPE)
endfunction()

# Whether `folder` may use `used`: its own folder, or a lower layer.
function(tarnvale_may_use folder used out)
  tarnvale_layer_of(${folder} own)
  tarnvale_layer_of(${used} other)
  if(used STREQUAL folder OR (other GREATER_EQUAL 0 AND other LESS own))
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# tarnvale_layered_targets(<source dir> <variable>): the targets of the
# layered folders this configuration builds.
function(tarnvale_layered_targets source_dir out)
  tarnvale_layered_folders(folders)
  get_property(added DIRECTORY "${source_dir}" PROPERTY SUBDIRECTORIES)
  set(all "")
  foreach(folder IN LISTS folders)
    if("${source_dir}/${folder}" IN_LIST added)
      get_property(targets DIRECTORY "${source_dir}/${folder}" PROPERTY BUILDSYSTEM_TARGETS)
      list(APPEND all ${targets})
    endif()
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

function(tarnvale_layers_text out)
  string(REPLACE ";" " | " text "${TARNVALE_LAYERS}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# tarnvale_check_includes(<source dir>): fails with every quoted include, in
# the layered folders' own files, that names a folder the layers forbid.
function(tarnvale_check_includes source_dir)
  tarnvale_layered_folders(folders)
  set(errors "")
  foreach(folder IN LISTS folders)
    file(GLOB files "${source_dir}/${folder}/*.h" "${source_dir}/${folder}/*.cpp")
    foreach(file IN LISTS files)
      file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
      foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" header "${line}")
        string(REGEX MATCH "^[^/]+/" used "${header}")
        string(REGEX REPLACE "/$" "" used "${used}")
        tarnvale_may_use(${folder} "${used}" allowed)
        if(NOT allowed)
          file(RELATIVE_PATH shown "${source_dir}" "${file}")
          string(APPEND errors "\n  ${shown} includes \"${header}\": "
                               "${folder}/ may include only from its own folder and lower layers")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(errors)
    tarnvale_layers_text(layers)
    message(FATAL_ERROR "Includes against the layers (lowest first: ${layers}):${errors}")
  endif()
endfunction()

# tarnvale_check_links(<source dir>): fails with every library of a layered
# folder that links a library of a folder the layers forbid.
function(tarnvale_check_links source_dir)
  tarnvale_layered_targets("${source_dir}" targets)
  set(errors "")
  foreach(target IN LISTS targets)
    get_target_property(target_dir ${target} SOURCE_DIR)
    file(RELATIVE_PATH folder "${source_dir}" "${target_dir}")
    get_target_property(libs ${target} LINK_LIBRARIES)
    if(NOT libs)
      continue()
    endif()
    foreach(lib IN LISTS libs)
      if(NOT TARGET "${lib}")
        continue()
      endif()
      get_target_property(imported ${lib} IMPORTED)
      if(imported)
        continue()
      endif()
      get_target_property(lib_dir ${lib} SOURCE_DIR)
      file(RELATIVE_PATH used "${source_dir}" "${lib_dir}")
      tarnvale_layer_of("${used}" used_layer)
      if(used_layer LESS 0)
        continue()  # not a library of the layers (the data folder's path)
      endif()
      tarnvale_may_use(${folder} "${used}" allowed)
      if(NOT allowed)
        string(APPEND errors "\n  ${target} (${folder}/) links ${lib} (${used}/)")
      endif()
    endforeach()
  endforeach()
  if(errors)
    tarnvale_layers_text(layers)
    message(FATAL_ERROR "Links against the layers (lowest first: ${layers}):${errors}")
  endif()
endfunction()

# Run as a script (cmake -DSOURCE_DIR=<dir> -P layers.cmake): the include check.
if(CMAKE_SCRIPT_MODE_FILE)
  tarnvale_check_includes("${SOURCE_DIR}")
  return()
endif()

# tarnvale_enforce_layers(): both checks now, and the include check again at
# build time whenever a file of the layered folders changes; every library of
# those folders waits for it.
function(tarnvale_enforce_layers)
  tarnvale_check_includes("${PROJECT_SOURCE_DIR}")
  tarnvale_check_links("${PROJECT_SOURCE_DIR}")
  tarnvale_layered_folders(folders)
  set(files "")
  foreach(folder IN LISTS folders)
    file(GLOB found CONFIGURE_DEPENDS
      "${PROJECT_SOURCE_DIR}/${folder}/*.h" "${PROJECT_SOURCE_DIR}/${folder}/*.cpp")
    list(APPEND files ${found})
  endforeach()
  tarnvale_layered_targets("${PROJECT_SOURCE_DIR}" libraries)
  set(stamp "${PROJECT_BINARY_DIR}/layers.checked")
  add_custom_command(OUTPUT "${stamp}"
    COMMAND ${CMAKE_COMMAND} "-DSOURCE_DIR=${PROJECT_SOURCE_DIR}"
            -P "${PROJECT_SOURCE_DIR}/cmake/layers.cmake"
    COMMAND ${CMAKE_COMMAND} -E touch "${stamp}"
    DEPENDS ${files} "${PROJECT_SOURCE_DIR}/cmake/layers.cmake"
    COMMENT "Checking that includes follow the layers"
    VERBATIM)
  add_custom_target(tarnvale_layers ALL DEPENDS "${stamp}")
  foreach(target IN LISTS libraries)
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "UTILITY")
      add_dependencies(${target} tarnvale_layers)
    endif()
  endforeach()
endfunction()
