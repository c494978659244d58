# Makes the debug keystore that [KeystoreFile] of a settings file names, with
# its passwords and alias, when no file is there yet; an existing keystore is
# never replaced, so packages signed with it stay updatable.
#
# Run with cmake -P, or include()d from an install script, with:
#   VELMORA_SETTINGS  the settings file to read [KeystoreFile] from
#   VELMORA_TOOL_DIR  what %apktool_path% stands for (the program's tool/)
#   VELMORA_KEYTOOL   the keytool program (empty or NOTFOUND: say so, make nothing)

# Run as a script or from an install script, where no project sets the policies.
cmake_policy(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/ini_value.cmake")

function(velmora_make_keystore settings tool_dir keytool)
  file(READ "${settings}" content)
  foreach(key keystore storepass keypass alias)
    velmora_ini_value("${content}" KeystoreFile ${key} ${key})
  endforeach()
  if(keystore STREQUAL "" OR alias STREQUAL "")
    message(STATUS "No keystore or alias in [KeystoreFile] of ${settings}: no debug keystore made")
    return()
  endif()
  string(REGEX REPLACE "%(apktool_path|CurrentDir)%" "" other_placeholders "${keystore}")
  if(other_placeholders MATCHES "%[A-Za-z_]+%")
    message(STATUS "The keystore ${keystore} lies elsewhere: not made here")
    return()
  endif()
  cmake_path(GET tool_dir PARENT_PATH program_dir)
  string(REPLACE "%apktool_path%" "${tool_dir}" keystore "${keystore}")
  string(REPLACE "%CurrentDir%" "${program_dir}" keystore "${keystore}")
  if(EXISTS "${keystore}")
    return()
  endif()
  if(NOT keytool)
    message(WARNING "keytool not found (install a JDK): no debug keystore at ${keystore}")
    return()
  endif()

  # PKCS12, the JDK's own format, keeps one password for store and key; a key
  # password of its own needs the older JKS format.
  if(storepass STREQUAL keypass)
    set(store_type PKCS12)
  else()
    set(store_type JKS)
  endif()
  cmake_path(GET keystore PARENT_PATH keystore_dir)
  file(MAKE_DIRECTORY "${keystore_dir}")
  execute_process(
    COMMAND "${keytool}" -genkeypair -noprompt
      -keystore "${keystore}" -storetype ${store_type}
      -storepass "${storepass}" -keypass "${keypass}" -alias "${alias}"
      -keyalg RSA -keysize 2048 -validity 10000
      -dname "CN=Android Debug,O=Android,C=US"
    RESULT_VARIABLE status
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "keytool could not make ${keystore}:\n${output}")
  endif()
  message(STATUS "Made the debug keystore ${keystore}")
endfunction()

velmora_make_keystore("${VELMORA_SETTINGS}" "${VELMORA_TOOL_DIR}" "${VELMORA_KEYTOOL}")
