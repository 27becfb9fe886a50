# The Debian package: `cpack -G DEB` in the build folder makes glomera_VERSION-1_ARCH.deb of
# what the install rules install, under /usr. Its dependencies are those of the installed
# programs and the plug-in as dpkg-shlibdeps finds them (libnifti2, cairo, nettle, zlib, the
# C++ runtime...), and mricron-data, whose templates and atlases the reports and pictures use.
set(GLOMERA_PACKAGE_MAINTAINER "Glomera developers <developers@glomera.invalid>" CACHE STRING
    "Maintainer named in the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glomera)
set(CPACK_PACKAGE_VENDOR Glomera)
set(CPACK_PACKAGE_CONTACT ${GLOMERA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "spherical VOIs from coordinate tables: host plug-in and VOI toolbox")
# The long description, in lines that dpkg shows as they are.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Glomera builds spherical volumes of interest (VOIs) around peak coordinates in"
    "Talairach space, from a table as pasted from a paper (MNI coordinates converted"
    "with Lancaster's or Brett's transform), and writes them as a .voi file."
    "The package holds the plug-in library for the brain-imaging host"
    "(/usr/lib/glomera/Glomera.so); HelmoraZT.exe, a headless host that runs the"
    "plug-in from the shell; and glomera-voi, which makes NIfTI label volumes with"
    "label tables, pictures and reports of any .voi file, with the atlas regions each"
    "VOI lies in and what made each result; and the Python module glomera, the same"
    "toolbox with numpy arrays and a spheres masker for notebooks and pipelines.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Python module is built for one minor version of Debian's Python and hands back numpy
# arrays; dpkg-shlibdeps cannot see either (an extension module links no libpython).
set(CPACK_DEBIAN_PACKAGE_DEPENDS mricron-data)
if(GLOMERA_PYTHON)
    math(EXPR next_minor "${Python_VERSION_MINOR} + 1")
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", python3 (>= ${Python_VERSION_MAJOR}."
        "${Python_VERSION_MINOR}), python3 (<< ${Python_VERSION_MAJOR}.${next_minor}), "
        "python3-numpy")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-pandas, python3-nibabel")
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
