# cmake -DIN=file -DOUT=file [-DGROFF=groff] -P windows-text.cmake
#
# Writes IN as a Windows text file, every line ending in CR LF; with GROFF,
# IN is a manual page and is rendered first (UTF-8, no overstriking).
if(GROFF)
  execute_process(
    COMMAND ${GROFF} -t -man -rHY=0 -Tutf8 -P-cbou ${IN}
    OUTPUT_VARIABLE text
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "groff could not render ${IN}")
  endif()
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
