# A packaging step's verdict: a failed command ends the build; a file made is
# told with its size, which the README quotes.
function(report_made result file failure)
  if(result)
    message(FATAL_ERROR "${failure}")
  endif()
  file(SIZE ${file} size)
  math(EXPR kib "${size} / 1024")
  message(STATUS "${file}: ${kib} KiB")
endfunction()
