# Installs the shipped settings file into the program folder, but never over a
# settings file that is already there: it holds the user's own buttons and
# signer type. The shipped one then lies beside it as Velmora.ini.new.
#
# include()d from an install script with VELMORA_SHIPPED_SETTINGS set.

# Run as a script or from an install script, where no project sets the policies.
cmake_policy(VERSION 3.25)

# file(INSTALL) puts $DESTDIR in front of the destination by itself.
set(installed_settings "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/Velmora.ini")
if(NOT EXISTS "${installed_settings}")
  file(INSTALL "${VELMORA_SHIPPED_SETTINGS}" DESTINATION "${CMAKE_INSTALL_PREFIX}")
else()
  file(READ "${installed_settings}" installed)
  file(READ "${VELMORA_SHIPPED_SETTINGS}" shipped)
  if(NOT installed STREQUAL shipped)
    file(INSTALL "${VELMORA_SHIPPED_SETTINGS}" DESTINATION "${CMAKE_INSTALL_PREFIX}"
      RENAME Velmora.ini.new)
    message(STATUS "Kept ${installed_settings}; the shipped one is Velmora.ini.new beside it")
  endif()
endif()
