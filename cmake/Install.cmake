# What `cmake --install build --prefix P` and the Debian package install: the programs in
# P/bin, the plug-in in P/lib/glomera, the data the programs read in P/share/glomera, manual
# pages made from --help, glomera-voi's bash completion made from its command line, and the
# documentation. The layout is in cmake/InstallLayout.cmake.

# The data: each file registered with glomera_share_files() is copied into the build tree's
# data folder at every build (when it exists), and the folder is installed whole.
get_property(share_files GLOBAL PROPERTY GLOMERA_SHARE_FILES)
list(JOIN share_files "\n" share_lines)
file(WRITE ${CMAKE_BINARY_DIR}/glomera_share_files.txt "${share_lines}\n")
add_custom_target(glomera_data ALL
    COMMAND ${CMAKE_COMMAND} -DENTRIES=${CMAKE_BINARY_DIR}/glomera_share_files.txt
        -DDESTINATION=${GLOMERA_BUILD_DATADIR} -P ${CMAKE_SOURCE_DIR}/cmake/CopyData.cmake
    COMMENT "Gathering the programs' data in ${GLOMERA_BUILD_DATADIR}"
    VERBATIM)

install(TARGETS HelmoraZT glomera-voi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS Glomera LIBRARY DESTINATION ${GLOMERA_INSTALL_PLUGINDIR})
install(DIRECTORY ${GLOMERA_BUILD_DATADIR}/ DESTINATION ${GLOMERA_INSTALL_DATADIR})
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/cmake/copyright
    DESTINATION ${GLOMERA_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${GLOMERA_INSTALL_DOCDIR}
    FILES_MATCHING PATTERN "*.md")

# Manual pages from each program's --help.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(manuals)
    foreach(manual
            "glomera-voi|glomera-voi|ON|make label volumes, pictures and reports of .voi files, and coordinate lists of pasted tables"
            "HelmoraZT|HelmoraZT.exe|OFF|headless host that loads the Glomera plug-in and runs its commands")
        string(REPLACE "|" ";" manual "${manual}")
        list(GET manual 0 target)
        list(GET manual 1 program)
        list(GET manual 2 subcommands)
        list(GET manual 3 description)
        set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${HELP2MAN} -DPROGRAM=$<TARGET_FILE:${target}>
                -DOUTPUT=${page} -DSUBCOMMANDS=${subcommands} "-DDESCRIPTION=${description}"
                -DVERSION=${PROJECT_VERSION}
                -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
            DEPENDS ${target} ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
            COMMENT "Making the manual page of ${program}"
            VERBATIM)
        list(APPEND manuals ${page}.gz)
    endforeach()
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
    add_custom_target(glomera_manuals ALL DEPENDS ${manuals})
    install(FILES ${manuals} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(WARNING "help2man was not found: no manual pages will be made or installed "
        "(scripts/install-deps.sh installs it)")
endif()

# glomera-voi's bash completion, made from the command line it declares.
set(completion ${CMAKE_BINARY_DIR}/completion/glomera-voi)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/completion)
add_custom_command(OUTPUT ${completion}
    COMMAND glomera-voi-completion ${completion}
    DEPENDS glomera-voi-completion
    COMMENT "Making glomera-voi's bash completion"
    VERBATIM)
add_custom_target(glomera_completion ALL DEPENDS ${completion})
install(FILES ${completion} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
