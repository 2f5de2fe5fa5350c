cmake_minimum_required(VERSION 3.25)
# Writes the posting template "Response.html" for a forum host.
#   cmake -DTEMPLATE=<Response.html.in> -DOUTPUT=<file> -DFORUM_HOST=<host[:port]> -P GenerateResponse.cmake
# The program inserts the section word after the first 94 characters of
# line 7, so the blanks after "<FORM" are sized to put "/cgi-bin/" right
# before that point whatever the host's length.
foreach(var TEMPLATE OUTPUT FORUM_HOST)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "GenerateResponse.cmake needs -D${var}=...")
  endif()
endforeach()

set(head "<FORM")
set(tail "METHOD=POST ACTION=\"http://${FORUM_HOST}/cgi-bin/")
string(LENGTH "${head}${tail}" used)
math(EXPR pad "94 - ${used}")
if(pad LESS 1)
  message(FATAL_ERROR "The forum host \"${FORUM_HOST}\" is too long for the posting template (at most 53 characters).")
endif()
string(REPEAT " " ${pad} PAD)

file(READ "${TEMPLATE}" text)
string(REPLACE "@PAD@" "${PAD}" text "${text}")
string(REPLACE "@FORUM_HOST@" "${FORUM_HOST}" text "${text}")
# Lines end in CR LF, as the program writes its own copy.
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUTPUT}.tmp" "${text}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
