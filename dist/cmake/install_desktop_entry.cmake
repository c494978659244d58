# Writes the desktop entry that puts Velmora into the desktop's menu. The
# program folder is only known at install time (cmake --install --prefix), and
# so are the entry's Exec, TryExec and Icon paths.
#
# The entry goes to VELMORA_DESKTOP_DATA_DIR/applications when that is set;
# otherwise, for a program folder inside the home folder, to the user's data
# folder ($XDG_DATA_HOME, else ~/.local/share), and for any other program
# folder to /usr/local/share, where every user's menu finds it.
#
# include()d from an install script with VELMORA_DESKTOP_TEMPLATE and
# VELMORA_DESKTOP_DATA_DIR set.

# Run as a script or from an install script, where no project sets the policies.
cmake_policy(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/home_folder.cmake")

# A path as one argument of Exec: inside double quotes, backslash escapes
# " ` $ and \, and % is doubled; then the value's own escaping doubles every
# backslash again.
function(velmora_desktop_exec_argument path out)
  string(REPLACE "\\" "\\\\" path "${path}")
  string(REPLACE "\"" "\\\"" path "${path}")
  string(REPLACE "`" "\\`" path "${path}")
  string(REPLACE "$" "\\$" path "${path}")
  string(REPLACE "%" "%%" path "${path}")
  velmora_desktop_string("\"${path}\"" path)
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# A value of type string: a backslash is written as two.
function(velmora_desktop_string text out)
  string(REPLACE "\\" "\\\\" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(velmora_desktop_data_dir out)
  if(NOT VELMORA_DESKTOP_DATA_DIR STREQUAL "")
    set(${out} "${VELMORA_DESKTOP_DATA_DIR}" PARENT_SCOPE)
    return()
  endif()
  velmora_prefix_in_home(in_home)
  if(NOT in_home)
    set(${out} /usr/local/share PARENT_SCOPE)
  elseif(NOT "$ENV{XDG_DATA_HOME}" STREQUAL "")
    set(${out} "$ENV{XDG_DATA_HOME}" PARENT_SCOPE)
  else()
    set(${out} "$ENV{HOME}/.local/share" PARENT_SCOPE)
  endif()
endfunction()

velmora_desktop_exec_argument("${CMAKE_INSTALL_PREFIX}/velmora" VELMORA_DESKTOP_EXEC)
velmora_desktop_string("${CMAKE_INSTALL_PREFIX}/velmora" VELMORA_DESKTOP_TRYEXEC)
velmora_desktop_string("${CMAKE_INSTALL_PREFIX}/velmora.svg" VELMORA_DESKTOP_ICON)
velmora_desktop_data_dir(data_dir)

# Written straight to its place: a file staged in the build folder would be
# shared by installs to different prefixes running at the same time.
set(entry "$ENV{DESTDIR}${data_dir}/applications/velmora.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${VELMORA_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")

# File managers that read the folder's MIME cache learn only from it that the
# entry opens packages and jars. A staged install (DESTDIR) leaves that to
# whoever lays the files out for real.
find_program(VELMORA_UPDATE_DESKTOP_DATABASE update-desktop-database)
if("$ENV{DESTDIR}" STREQUAL "" AND VELMORA_UPDATE_DESKTOP_DATABASE)
  execute_process(
    COMMAND "${VELMORA_UPDATE_DESKTOP_DATABASE}" "${data_dir}/applications"
    RESULT_VARIABLE status
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(WARNING "The MIME cache of ${data_dir}/applications was not updated:\n${output}")
  endif()
endif()
