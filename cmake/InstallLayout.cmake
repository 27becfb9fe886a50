# Where an installed prefix keeps what the programs need, each folder relative to the prefix:
# the programs in bin/, the plug-in in lib/glomera/ (a private folder: nothing links the plug-in,
# a host loads it), the data the programs read in share/glomera/. The programs find the plug-in
# and their data from their own place (common/installed_files.cpp), so a prefix can be moved or
# copied whole, and an environment module only has to put its bin/ on PATH.
include(GNUInstallDirs)
set(GLOMERA_INSTALL_PLUGINDIR lib/glomera CACHE STRING
    "Folder of the plug-in in an installed prefix, relative to the prefix")
set(GLOMERA_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/glomera CACHE STRING
    "Folder of the programs' data in an installed prefix, relative to the prefix")
set(GLOMERA_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/glomera)
foreach(folder CMAKE_INSTALL_BINDIR GLOMERA_INSTALL_PLUGINDIR GLOMERA_INSTALL_DATADIR)
    if(IS_ABSOLUTE "${${folder}}")
        message(FATAL_ERROR "${folder} must be relative to the prefix, so that an installed "
            "prefix can move; it is ${${folder}}")
    endif()
endforeach()
# The same folders as the programs see them from their own folder.
file(RELATIVE_PATH GLOMERA_PLUGINDIR_FROM_BINDIR
    /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${GLOMERA_INSTALL_PLUGINDIR})
file(RELATIVE_PATH GLOMERA_DATADIR_FROM_BINDIR
    /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${GLOMERA_INSTALL_DATADIR})

# The build tree is laid out like a prefix for the data: build/bin's programs find
# build/share/glomera as installed ones find P/share/glomera. Whatever lands in it is installed.
cmake_path(SET GLOMERA_BUILD_DATADIR NORMALIZE
    "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${GLOMERA_DATADIR_FROM_BINDIR}")
file(MAKE_DIRECTORY ${GLOMERA_BUILD_DATADIR})

# glomera_share_files(PATH... [DESTINATION SUBFOLDER]): files or folders the programs read at
# run time. Each is copied at build time into the build tree's data folder (under SUBFOLDER)
# when it exists, so that one fetched after configuring is taken too, and installed with that
# folder into P/share/glomera. The list is the global property GLOMERA_SHARE_FILES, one
# "PATH|SUBFOLDER" entry each.
function(glomera_share_files)
    cmake_parse_arguments(PARSE_ARGV 0 share "" DESTINATION "")
    foreach(path IN LISTS share_UNPARSED_ARGUMENTS)
        cmake_path(ABSOLUTE_PATH path BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
        set_property(GLOBAL APPEND PROPERTY GLOMERA_SHARE_FILES "${path}|${share_DESTINATION}")
    endforeach()
endfunction()

# The bundled examples, for a first run and a check of an installed package.
glomera_share_files(${CMAKE_SOURCE_DIR}/examples/mni_table.txt
    ${CMAKE_SOURCE_DIR}/examples/coordinates.txt DESTINATION examples)
