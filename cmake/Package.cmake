# The Debian packages: `cpack -G DEB` in the build folder makes one package of each install
# component, of what its install rules install, under /usr:
# - glomera_VERSION-1_ARCH.deb (the component glomera: the programs, the plug-in, their data,
#   manual pages and completion). Its dependencies are those of the installed programs and the
#   plug-in as dpkg-shlibdeps finds them (libnifti2, cairo, nettle, zlib, the C++ runtime...),
#   and mricron-data, whose templates and atlases the reports and pictures use.
# - python3-glomera_VERSION-1_ARCH.deb (the component python, made when the Python module is
#   built): the module glomera, depending on glomera of the same version, whose data and atlases
#   it reads, and on the Python it was built for.
set(GLOMERA_PACKAGE_MAINTAINER "Glomera developers <developers@glomera.invalid>" CACHE STRING
    "Maintainer named in the Debian packages")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
# Named, so that a build without the Python module, whose only component is glomera, is still
# packaged as that component with its settings below (CPack packages a lone component as if
# there were none).
set(CPACK_COMPONENTS_ALL glomera)
set(CPACK_PACKAGE_NAME glomera)
set(CPACK_PACKAGE_VENDOR Glomera)
set(CPACK_PACKAGE_CONTACT ${GLOMERA_PACKAGE_MAINTAINER})
# CPack puts the package summary before the description of every component's package unless the
# summary is CPack's own default; each package's description below starts with its own summary.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The package glomera. Its description, in lines that dpkg shows as they are, the first the
# summary.
set(CPACK_DEBIAN_GLOMERA_PACKAGE_NAME glomera)
set(CPACK_DEBIAN_GLOMERA_FILE_NAME DEB-DEFAULT)
string(JOIN "\n" CPACK_DEBIAN_GLOMERA_DESCRIPTION
    "spherical VOIs from coordinate tables: host plug-in and VOI toolbox"
    "Glomera builds spherical volumes of interest (VOIs) around peak coordinates in"
    "Talairach space, from a table as pasted from a paper (MNI coordinates converted"
    "with Lancaster's or Brett's transform), and writes them as a .voi file."
    "The package holds the plug-in library for the brain-imaging host"
    "(/usr/lib/glomera/Glomera.so); HelmoraZT.exe, a headless host that runs the"
    "plug-in from the shell; and glomera-voi, which makes NIfTI label volumes with"
    "label tables, pictures and reports of any .voi file, with the atlas regions each"
    "VOI lies in and what made each result. The Python module is in python3-glomera.")
set(CPACK_DEBIAN_GLOMERA_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_GLOMERA_PACKAGE_DEPENDS mricron-data)
set(CPACK_DEBIAN_GLOMERA_PACKAGE_SUGGESTS bash-completion)

# The package python3-glomera, when the module is built. The module is built for one minor
# version of Debian's Python and hands back numpy arrays; dpkg-shlibdeps sees neither (an
# extension module links no libpython), so they are named here. glomera of the very same
# version comes first: the module is the same toolbox, built from the same sources.
if(GLOMERA_PYTHON)
    list(APPEND CPACK_COMPONENTS_ALL python)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-glomera)
    set(CPACK_DEBIAN_PYTHON_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
    string(JOIN "\n" CPACK_DEBIAN_PYTHON_DESCRIPTION
        "spherical VOIs from coordinate tables: Python module"
        "The Python module glomera gives Glomera's VOI toolbox to Python, with numpy"
        "arrays: tables of peaks read with their line-by-line account, spheres and .voi"
        "files, atlas regions of points, cleaned extraction of time series, a spheres"
        "masker for notebooks and pipelines, and the interactive page shown inline in"
        "Jupyter. DataFrames need python3-pandas; images may be nibabel's.")
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
    set(CPACK_COMPONENT_PYTHON_DEPENDS glomera)
    math(EXPR next_minor "${Python_VERSION_MINOR} + 1")
    set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
        "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR})"
        "python3 (<< ${Python_VERSION_MAJOR}.${next_minor})" python3-numpy)
    list(JOIN CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS ", " CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS "python3-pandas, python3-nibabel")
endif()
include(CPack)
