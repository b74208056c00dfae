# Builds and installs the Python package vantor: CMake builds the compiled
# module (the _vantor target, over the same library as the program) and the
# pure-Python files of python/vantor go beside it. Install with
#   /usr/bin/python3 -m pip install --no-build-isolation --break-system-packages .
import glob
import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


class CMakeBuild(build_ext):
    """Builds the _vantor target with CMake and copies the module into place."""

    def build_extension(self, ext):
        build = os.path.join(os.path.abspath(self.build_temp), "cmake")
        subprocess.check_call(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                               "-DBUILD_TESTING=OFF", "-DVANTOR_PYTHON=ON",
                               "-DVANTOR_PYTHON_EXECUTABLE=" + sys.executable])
        subprocess.check_call(["cmake", "--build", build, "--target", "_vantor", "-j",
                               os.environ.get("VANTOR_BUILD_JOBS", "2")])
        built = glob.glob(os.path.join(build, "python", "vantor", "_vantor*.so"))
        if not built:
            sys.exit("the CMake build made no _vantor module (is pybind11-dev installed?)")
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built[0], target)


setup(
    name="vantor",
    version="2.28",
    description="descriptive statistics, correlation matrices and principal components",
    packages=["vantor"],
    package_dir={"": "python"},
    ext_modules=[Extension("vantor._vantor", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.9",
    zip_safe=False,
)
