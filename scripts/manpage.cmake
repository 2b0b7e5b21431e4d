# Makes a man page with help2man from a program's --help and --version, and
# for telvaro-cli adds the --help of every command in a COMMANDS section.
# cmake -DPROGRAM=path -DHELP2MAN=path -DOUTPUT=page.1 -P manpage.cmake
get_filename_component(name ${PROGRAM} NAME)
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
set(include ${OUTPUT}.include)
set(summary_telvaro-cli "send messages to LED signs and sign controllers from scripts")
set(summary_telvaro-devsim "a simulated sign, sign controller or recording device for Telvaro")
file(WRITE ${include} "[NAME]\n${name} \\- ${summary_${name}}\n")

if(name STREQUAL "telvaro-cli")
  execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help failed")
  endif()
  # The command names are the lines indented by two blanks under "Commands:".
  string(REGEX MATCH "Commands:\n(.*)\n\n" section "${help}")
  string(REGEX MATCHALL "\n  [a-z-]+" names "\n${CMAKE_MATCH_1}")
  file(APPEND ${include} "[COMMANDS]\n")
  foreach(entry IN LISTS names)
    string(STRIP "${entry}" command)
    execute_process(COMMAND ${PROGRAM} ${command} --help OUTPUT_VARIABLE text RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${PROGRAM} ${command} --help failed")
    endif()
    # Plain text in roff: backslashes written as \e, no line read as a request.
    string(REPLACE "\\" "\\e" text "${text}")
    string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" text "\n${text}")
    file(APPEND ${include} ".SS ${command}\n.nf${text}.fi\n")
  endforeach()
endif()

execute_process(
  COMMAND ${HELP2MAN} --no-info --no-discard-stderr --include=${include} --output=${OUTPUT} ${PROGRAM}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed for ${PROGRAM}")
endif()
