# Links velmora-run into a folder on the user's PATH, so that it runs from any
# terminal by its name. Through the link it still finds its settings beside
# its real file: the program reads where its executable lies with every link
# resolved.
#
# A program folder inside the home folder is linked from $XDG_BIN_HOME, else
# from ~/.local/bin. One outside the home is linked from <prefix>/../bin only
# when VELMORA_LINK_SYSTEM_BIN is on, and never from /usr/bin, which belongs
# to the system's packages. A link to a velmora-run already at that place (an
# earlier install's) is replaced; anything else of that name is left alone.
#
# Run with cmake -P, or include()d from an install script, with
# VELMORA_LINK_SYSTEM_BIN set.

# Run as a script or from an install script, where no project sets the policies.
cmake_policy(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/home_folder.cmake")

# The folder the link goes into (without DESTDIR), or empty for none.
function(velmora_link_dir out)
  velmora_prefix_in_home(in_home)
  set(bin_home "$ENV{XDG_BIN_HOME}")
  if(in_home AND IS_ABSOLUTE "${bin_home}")
    set(${out} "${bin_home}" PARENT_SCOPE)
  elseif(in_home)
    set(${out} "$ENV{HOME}/.local/bin" PARENT_SCOPE)
  elseif(NOT VELMORA_LINK_SYSTEM_BIN)
    message(STATUS "velmora-run is not linked onto PATH: configure with "
                   "-DVELMORA_LINK_SYSTEM_BIN=ON to link it from <prefix>/../bin")
    set(${out} "" PARENT_SCOPE)
  else()
    cmake_path(SET dir NORMALIZE "${CMAKE_INSTALL_PREFIX}/../bin")
    # On Debian /bin is /usr/bin.
    if(dir MATCHES "^(/usr)?/bin/?$")
      message(STATUS "velmora-run is not linked from ${dir}: that folder belongs to the system's packages")
      set(dir "")
    endif()
    set(${out} "${dir}" PARENT_SCOPE)
  endif()
endfunction()

# Whether `link` may be made or replaced: nothing is there, or an earlier
# link to a velmora-run, wherever that pointed.
function(velmora_link_place_is_free link out)
  if(IS_SYMLINK "${link}")
    file(READ_SYMLINK "${link}" points_to)
    cmake_path(GET points_to FILENAME name)
    if(name STREQUAL "velmora-run")
      set(${out} TRUE PARENT_SCOPE)
    else()
      set(${out} FALSE PARENT_SCOPE)
    endif()
  elseif(EXISTS "${link}")
    set(${out} FALSE PARENT_SCOPE)
  else()
    set(${out} TRUE PARENT_SCOPE)
  endif()
endfunction()

function(velmora_warn_when_off_path dir)
  cmake_path(SET wanted NORMALIZE "${dir}/")
  string(REPLACE ":" ";" path_dirs "$ENV{PATH}")
  foreach(path_dir IN LISTS path_dirs)
    cmake_path(SET path_dir NORMALIZE "${path_dir}/")
    if(path_dir STREQUAL wanted)
      return()
    endif()
  endforeach()
  message(STATUS "${dir} is not on PATH: add it there to run velmora-run by its name")
endfunction()

velmora_link_dir(link_dir)
if(NOT link_dir STREQUAL "")
  cmake_path(SET program NORMALIZE "${CMAKE_INSTALL_PREFIX}/velmora-run")
  set(link "$ENV{DESTDIR}${link_dir}/velmora-run")
  velmora_link_place_is_free("${link}" free)
  if(NOT free)
    message(WARNING "Left ${link} alone: it is not a link to a velmora-run. "
                    "Start ${program} by its path, or remove ${link} and install again.")
  else()
    message(STATUS "Installing: ${link} -> ${program}")
    file(MAKE_DIRECTORY "$ENV{DESTDIR}${link_dir}")
    file(CREATE_LINK "${program}" "${link}" RESULT failure SYMBOLIC)
    if(failure)
      message(WARNING "Cannot link ${link}: ${failure}")
    else()
      list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${link}")
      if("$ENV{DESTDIR}" STREQUAL "")
        velmora_warn_when_off_path("${link_dir}")
      endif()
    endif()
  endif()
endif()
