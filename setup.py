"""pip's way to the Python module: setuptools runs CMake on this tree, builds the module
_glomera alone and puts it in the package glomera (python/glomera). Offline, in a virtual
environment that sees Debian's packages (numpy, pybind11 and setuptools):

    /usr/bin/python3 -m venv --system-site-packages ~/venvs/glomera
    ~/venvs/glomera/bin/pip install --no-build-isolation .

The CMake build lives in build-python/ (GLOMERA_PYTHON_BUILD_DIR elsewhere), kept between
installs so that a second one builds only what changed."""
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


def version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(Glomera VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    """Builds each extension as a CMake target of this tree."""

    def build_extension(self, ext):
        build = pathlib.Path(os.environ.get("GLOMERA_PYTHON_BUILD_DIR", ROOT / "build-python"))
        configure = ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                     f"-DGLOMERA_PYTHON_EXECUTABLE={sys.executable}", "-DGLOMERA_PYTHON=ON",
                     "-DGLOMERA_TESTS=OFF", "-DGLOMERA_BENCH=OFF",
                     "-DGLOMERA_BROWSER_TESTS=OFF"]
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
                          "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        subprocess.run(configure, check=True)
        jobs = os.environ.get("GLOMERA_BUILD_JOBS", "2")
        subprocess.run(["cmake", "--build", str(build), "--target", "_glomera", "-j", jobs],
                       check=True)
        built = sorted((build / "python" / "glomera").glob("_glomera*.so"))
        if not built:
            raise RuntimeError(f"the module was not built in {build / 'python' / 'glomera'}")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[-1], target)


setup(
    version=version(),
    packages=["glomera"],
    package_dir={"glomera": "python/glomera"},
    package_data={"glomera": ["__init__.pyi", "py.typed"]},
    ext_modules=[Extension("glomera._glomera", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
