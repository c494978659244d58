# Run as a script or from an install script, where no project sets the policies.
cmake_policy(VERSION 3.25)

# velmora_prefix_in_home(<out>): whether the program folder being installed
# (CMAKE_INSTALL_PREFIX) lies inside the home folder, and so belongs to one
# user. A home of / or none at all holds nobody's folder alone.
function(velmora_prefix_in_home out)
  set(home "$ENV{HOME}")
  set(in_home FALSE)
  if(NOT home STREQUAL "" AND NOT home STREQUAL "/")
    cmake_path(IS_PREFIX home "${CMAKE_INSTALL_PREFIX}" NORMALIZE in_home)
  endif()
  set(${out} ${in_home} PARENT_SCOPE)
endfunction()
