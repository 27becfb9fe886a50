# Writes OUTPUT, a C++ source that builds files into the program with the assembler's
# .incbin: FILES is a list of NAME=PATH, each between the symbols glomera_embedded_NAME and
# glomera_embedded_NAME_end (declared where they are used). Each file's SHA-256 goes into the
# source too, so that a compiler cache sees when a file changes at the same path.
#   cmake -DOUTPUT=... -DFILES="a=/x/a.js;b=/x/b.css" -P embed_files.cmake
set(assembly "")
foreach(entry IN LISTS FILES)
    string(REGEX MATCH "^([A-Za-z_]+)=(.*)$" matched "${entry}")
    if(NOT matched)
        message(FATAL_ERROR "embed_files: ${entry} is not NAME=PATH")
    endif()
    set(name ${CMAKE_MATCH_1})
    set(path ${CMAKE_MATCH_2})
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "embed_files: ${path} is missing")
    endif()
    file(SHA256 "${path}" hash)
    string(APPEND assembly
        "    \"# ${name}: sha256 ${hash}\\n\"\n"
        "    \".globl glomera_embedded_${name}, glomera_embedded_${name}_end\\n\"\n"
        "    \".hidden glomera_embedded_${name}, glomera_embedded_${name}_end\\n\"\n"
        "    \"glomera_embedded_${name}:\\n\"\n"
        "    \".incbin \\\"${path}\\\"\\n\"\n"
        "    \"glomera_embedded_${name}_end:\\n\"\n")
endforeach()
file(WRITE "${OUTPUT}.new"
    "// Made by voikit/page/embed_files.cmake: files built into the program.\n"
    "__asm__(\n"
    "    \".section .rodata\\n\"\n"
    "    \".balign 16\\n\"\n"
    "${assembly}"
    "    \".previous\\n\");\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
