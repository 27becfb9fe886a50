# Copies the data the programs read into the build tree's data folder (DESTINATION): each
# "PATH|SUBFOLDER" line of ENTRIES whose PATH exists, a file or a whole folder. Run at every
# build, so that a file fetched after configuring is taken; file(COPY) skips what is current.
file(STRINGS ${ENTRIES} entries)
foreach(entry IN LISTS entries)
    string(FIND "${entry}" "|" bar REVERSE)
    string(SUBSTRING "${entry}" 0 ${bar} path)
    math(EXPR after "${bar} + 1")
    string(SUBSTRING "${entry}" ${after} -1 subfolder)
    if(EXISTS "${path}")
        file(COPY "${path}" DESTINATION "${DESTINATION}/${subfolder}")
    endif()
endforeach()
