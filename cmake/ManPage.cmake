# Makes a program's manual page from its --help and --version with help2man, gzipped as
# Debian keeps them: OUTPUT.gz, for the program's VERSION. With SUBCOMMANDS, the --help of each subcommand the program's
# help lists under "Subcommands:" becomes a part of the COMMANDS section.
set(include_file ${OUTPUT}.h2m)
set(extra "[SEE ALSO]
.BR glomera-voi (1),
.BR HelmoraZT.exe (1);
the documentation in share/doc/glomera of the prefix the programs are installed in
.RI ( /usr/share/doc/glomera
for the Debian package).
")

# Help text as roff that keeps its lines: backslashes and minus signs escaped, no line read
# as a request.
function(as_roff text result)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${result} "${text}" PARENT_SCOPE)
endfunction()

if(SUBCOMMANDS)
    execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${PROGRAM} --help failed")
    endif()
    string(REGEX MATCH "(SUBCOMMANDS|Subcommands):\n(  [^\n]*\n)+" listing "${help}")
    string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" names "${listing}")
    set(commands "[COMMANDS]\n")
    foreach(name IN LISTS names)
        string(STRIP "${name}" name)
        execute_process(COMMAND ${PROGRAM} ${name} --help OUTPUT_VARIABLE subhelp
            RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "${PROGRAM} ${name} --help failed")
        endif()
        # Each subcommand's help repeats the program's footer, which the page has once.
        string(FIND "${subhelp}" "\nExit status:" footer)
        if(footer GREATER 0)
            string(SUBSTRING "${subhelp}" 0 ${footer} subhelp)
            string(APPEND subhelp "\n")
        endif()
        as_roff("${subhelp}" subhelp)
        string(APPEND commands ".SS \"${name}\"\n.nf\n${subhelp}.fi\n")
    endforeach()
    if(NOT names)
        message(FATAL_ERROR "${PROGRAM} --help lists no subcommands")
    endif()
    string(PREPEND extra "${commands}")
endif()
file(WRITE ${include_file} "${extra}")

# The version alone, not the commit: the page says what the release does.
execute_process(COMMAND ${HELP2MAN} --no-info --section=1 "--name=${DESCRIPTION}"
        --version-string=${VERSION} "--source=Glomera ${VERSION}"
        --include=${include_file} --output=${OUTPUT} ${PROGRAM}
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "help2man could not make the manual page of ${PROGRAM}")
endif()
execute_process(COMMAND gzip -9nf ${OUTPUT} RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "gzip could not compress ${OUTPUT}")
endif()
