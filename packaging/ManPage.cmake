# Writes a program's manual page from its own --help and --version, so the
# page never drifts from the program; gzipped as Debian wants it.
#   cmake -DPROGRAM=path -DNAME=pelvaro-cli -DSUMMARY="..." -DSEE_ALSO="a;b"
#         -DOUT=pelvaro-cli.1.gz -P ManPage.cmake
foreach(var PROGRAM NAME SUMMARY OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ManPage.cmake needs -D${var}=...")
  endif()
endforeach()

foreach(option help version)
  execute_process(COMMAND ${PROGRAM} --${option} OUTPUT_VARIABLE ${option}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --${option} failed: ${status}")
  endif()
endforeach()
string(STRIP "${version}" version)

# Roff reads a backslash as an escape, "-" as a hyphen that does not copy as a
# minus, and "." or "'" at a line start as a request.
function(roff_text text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The synopsis is the usage lines at the top of the help; the rest describes.
string(REGEX MATCH "^Usage: [^\n]*(\n +${NAME}[^\n]*)*\n" usage "${help}")
string(LENGTH "${usage}" usage_length)
string(SUBSTRING "${help}" ${usage_length} -1 description)
string(REGEX REPLACE "^Usage: " "" usage "${usage}")
string(REGEX REPLACE "\n +" "\n" usage "${usage}")
string(REGEX REPLACE "^\n+" "" description "${description}")
string(REGEX REPLACE "\n+$" "" description "${description}")
roff_text("${usage}" usage)
roff_text("${description}" description)
roff_text("${SUMMARY}" summary)
roff_text("${NAME}" name)
string(TOUPPER "${NAME}" title)

set(page ".TH ${title} 1 \"\" \"${version}\" \"User Commands\"
.SH NAME
${name} \\- ${summary}
.SH SYNOPSIS
.nf
${usage}.fi
.SH DESCRIPTION
.nf
${description}
.fi
")
if(SEE_ALSO)
  list(TRANSFORM SEE_ALSO APPEND " (1)")
  list(TRANSFORM SEE_ALSO PREPEND ".BR ")
  list(JOIN SEE_ALSO ",\n" see_also)
  string(APPEND page ".SH SEE ALSO\n${see_also}\n")
endif()

get_filename_component(folder "${OUT}" DIRECTORY)
get_filename_component(stem "${OUT}" NAME_WLE)
file(WRITE "${folder}/${stem}" "${page}")
execute_process(COMMAND gzip -9 -n -c "${folder}/${stem}" OUTPUT_FILE "${OUT}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${folder}/${stem}")
endif()
