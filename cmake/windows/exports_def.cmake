# cmake -Din=LINKER.def -Dout=kdlib.def -P exports_def.cmake
# Turns the export list the linker wrote into the definitions file a Windows
# host's toolchain reads (lib /def, dlltool -d): the DLL's name, then every
# export by the name it has in the DLL, without the linker's ordinals and
# internal names.
file(STRINGS ${in} lines)
set(text "LIBRARY kdlib.dll\nEXPORTS\n")
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]+([^ \t]+)")
    string(APPEND text "    ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
file(WRITE ${out} "${text}")
