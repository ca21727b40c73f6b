"""pip's build of the package: pip install --no-build-isolation --no-index .

The metadata is in pyproject.toml; this file only builds, and takes the version and the text
of _build_info.py from python/dist_info.py, which writes them for the CMake build and install
too. The extension kavro._kavro and the comparison tool brindlewick are built by the
project's own CMake (in build/pip, or in the build folder KAVRO_CMAKE_BUILD_DIR names, whose
compiled objects are then reused) and copied into the package: the tool as
kavro/bin/brindlewick, where kavro.compare finds it.
"""

import glob
import importlib.util
import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("dist_info", os.path.join(ROOT, "python",
                                                                         "dist_info.py"))
dist_info = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(dist_info)
VERSION = dist_info.project_version(ROOT)


class CMakeBuild(build_ext):
    """Builds the CMake targets and puts what they make into the package."""

    def build_extension(self, ext):
        build = os.environ.get("KAVRO_CMAKE_BUILD_DIR") or os.path.join(ROOT, "build", "pip")
        if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
            subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                            f"-DPython_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", build, "--target", "kavro_python", "brindlewick",
                        "-j", str(os.cpu_count() or 1)], check=True)
        package = os.path.dirname(self.get_ext_fullpath(ext.name))
        os.makedirs(os.path.join(package, "bin"), exist_ok=True)
        built = glob.glob(os.path.join(build, "python-packages", "kavro", "_kavro*.so"))
        if len(built) != 1:
            raise RuntimeError(f"CMake built {len(built)} kavro._kavro modules in {build}")
        shutil.copyfile(built[0], self.get_ext_fullpath(ext.name))
        shutil.copy2(os.path.join(build, "driver", "brindlewick"), os.path.join(package, "bin"))
        with open(os.path.join(package, "_build_info.py"), "w", encoding="utf-8") as f:
            f.write(dist_info.build_info(VERSION, "relative", "bin/brindlewick", "setup.py"))


setup(version=VERSION, ext_modules=[Extension("kavro._kavro", sources=[])],
      cmdclass={"build_ext": CMakeBuild},
      # setuptools' own build folder, out of the way of the CMake build folders.
      options={"build": {"build_base": os.path.join("build", "setuptools")}})
