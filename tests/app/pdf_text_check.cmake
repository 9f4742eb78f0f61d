# Fails unless the text layer of PDF (pdftotext at PDFTOTEXT) holds every one
# of the ;-separated NEEDLES: the manual must be searchable and copyable.
execute_process(COMMAND ${PDFTOTEXT} -enc UTF-8 ${PDF} - OUTPUT_VARIABLE text RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pdftotext failed on ${PDF}: ${rc}")
endif()
foreach(needle IN LISTS NEEDLES)
  string(FIND "${text}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "'${needle}' is not in the text layer of ${PDF}")
  endif()
endforeach()
