# Turns the tests' host string table (lines "ID<TAB>text", escapes \n \t \\) into a Windows
# resource script, so that the Windows test programs find the strings where MFC's LoadString looks:
# in the program's own STRINGTABLE.
function(lyrutil_strings_to_rc input output)
  file(STRINGS ${input} lines ENCODING UTF-8)
  set(rc "STRINGTABLE\nBEGIN\n")
  foreach(line IN LISTS lines)
    if(line MATCHES "^([0-9]+)\t(.*)$")
      set(id ${CMAKE_MATCH_1})
      set(text "${CMAKE_MATCH_2}")
      # The table's escapes are the resource compiler's too; only quotes need doubling.
      string(REPLACE "\"" "\"\"" text "${text}")
      string(APPEND rc "  ${id} \"${text}\"\n")
    endif()
  endforeach()
  string(APPEND rc "END\n")
  file(WRITE ${output} "${rc}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()
