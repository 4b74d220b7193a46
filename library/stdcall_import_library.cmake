# Makes the import library of the 32-bit Vostrel_4.dll, whose exports are
# __stdcall functions under plain names. Each name of the definition file
# (aliases included) gets the decoration of its function as the compiler
# made it (Hub_GetStatus@8), read from the library's objects, and imports
# the plain name.
#   cmake -DNM=... -DDLLTOOL=... -DDEFINITIONS=Vostrel_4.def -DOBJECTS=a.obj;b.obj
#         -DWORK=folder -DIMPORT_LIBRARY=libVostrel_4.dll.a -P stdcall_import_library.cmake
execute_process(COMMAND ${NM} --defined-only ${OBJECTS} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[ \t]T _Hub_[A-Za-z0-9_]+@[0-9]+" decorated "${symbols}")

file(STRINGS ${DEFINITIONS} lines REGEX "^[ \t]*Hub_")
set(text "LIBRARY Vostrel_4.dll\nEXPORTS\n")
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  string(REGEX REPLACE "=.*" "" name "${line}")
  string(REGEX REPLACE ".*=" "" body "${line}")
  set(found "")
  foreach(symbol IN LISTS decorated)
    if(symbol MATCHES " T _${body}@([0-9]+)$")
      set(found ${CMAKE_MATCH_1})
    endif()
  endforeach()
  if(found STREQUAL "")
    message(FATAL_ERROR "no __stdcall function ${body} in the library's objects")
  endif()
  string(APPEND text "    ${name}@${found}\n")
endforeach()
file(WRITE ${WORK}/Vostrel_4_decorated.def "${text}")
execute_process(COMMAND ${DLLTOOL} --kill-at --def ${WORK}/Vostrel_4_decorated.def --dllname Vostrel_4.dll
                        --output-lib ${IMPORT_LIBRARY} COMMAND_ERROR_IS_FATAL ANY)
