# Writes the version and the git commit a build comes from into OUTPUT (from TEMPLATE). Run at
# every build; the file is rewritten only when its text changes, so that a new commit
# recompiles the one file that includes it and relinks the programs, and nothing else.
# Outside a checkout of its own (sources unpacked inside another repository's tree, say), or
# without git, the commit is left empty.
set(commit "")
set(local_changes 0)
find_program(GIT git)
if(GIT)
    execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --show-toplevel --short=12 HEAD
        OUTPUT_VARIABLE answer OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
    string(REPLACE "\n" ";" answer "${answer}")
    list(LENGTH answer lines)
    if(NOT failed AND lines EQUAL 2)
        list(GET answer 0 top)
        list(GET answer 1 head)
        file(REAL_PATH "${top}" top)
        file(REAL_PATH "${SOURCE_DIR}" source)
        if(NOT top STREQUAL source)
            set(head "")
        endif()
    endif()
    if(NOT failed AND head)
        set(commit ${head})
        # Without optional locks, so that a build never holds the index while git works.
        execute_process(COMMAND ${GIT} --no-optional-locks -C ${SOURCE_DIR} status --porcelain
                --untracked-files=no
            OUTPUT_VARIABLE changes ERROR_QUIET RESULT_VARIABLE failed)
        if(NOT failed AND changes)
            set(local_changes 1)
        endif()
    endif()
endif()
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
