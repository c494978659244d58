# Included by the install and keystore scripts, where no project sets the policies.
cmake_policy(VERSION 3.25)

# velmora_ini_value(<content> <section> <key> <out>): the value of <key> in the
# first section named <section> of the settings text <content>, as the program
# reads it: names without regard to case, the first key of a name wins, blanks
# around the value and one pair of enclosing quotes removed. Empty when missing.
function(velmora_ini_value content section key out)
  string(TOLOWER "${section}" wanted_section)
  string(TOLOWER "${key}" wanted_key)
  # Keeps semicolons in values from splitting the list of lines.
  string(REPLACE ";" "\\;" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")
  set(current "")
  set(seen_sections "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line MATCHES "^\\[([^]]*)\\]?")
      string(STRIP "${CMAKE_MATCH_1}" name)
      string(TOLOWER "${name}" name)
      # A later section of the same name is not read: the first one wins.
      if(name IN_LIST seen_sections)
        set(current "")
      else()
        set(current "${name}")
        list(APPEND seen_sections "${name}")
      endif()
    elseif(current STREQUAL wanted_section AND line MATCHES "^([^=]*)=(.*)$")
      string(STRIP "${CMAKE_MATCH_1}" name)
      string(STRIP "${CMAKE_MATCH_2}" value)
      string(TOLOWER "${name}" name)
      if(name STREQUAL wanted_key)
        if(value MATCHES "^\"(.*)\"$" OR value MATCHES "^'(.*)'$")
          set(value "${CMAKE_MATCH_1}")
        endif()
        set(${out} "${value}" PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()
