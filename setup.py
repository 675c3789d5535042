"""Builds the kyv wheel through CMake: the framework, the control libraries, the package's
extension and, where the building Python imports PyQt6 and sip-build is installed, kyv.qt.

CMake installs what the package loads into the wheel's kyv/ folder: kyv/lib/ holds
libkyvframework (and libkyvqt), kyv/lib/kyv/ the control libraries and the registration
file that names them relative to itself, and every library finds its neighbours relative to
itself, so the installed package is whole wherever pip puts it.

Environment:
  KYV_CMAKE_BUILD_DIR  the CMake build folder, kept between builds (default: one under
                       setuptools' build_temp). Wheels for several Pythons built through one
                       folder compile the framework and the controls once: the later builds
                       compile the extension alone.
  CMAKE_BUILD_PARALLEL_LEVEL  parallel compile jobs (default 2).
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.command.install import install

ROOT = pathlib.Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(Kyv VERSION ([0-9.]+)", text).group(1)


def has_pyqt6():
    """Whether the building Python imports PyQt6 and sip-build is there: kyv.qt is built then."""
    if shutil.which("sip-build") is None:
        return False
    found = subprocess.run([sys.executable, "-c", "import PyQt6.QtWidgets"], capture_output=True)
    return found.returncode == 0


def copy_package(staged, target):
    """Copies the staged kyv/ folder into the wheel's: a versioned library is stored once,
    under the name it is loaded by (the symbolic link libNAME.so.1), and never as a link,
    which a wheel cannot hold."""
    shutil.rmtree(target, ignore_errors=True)
    for folder, _dirs, files in os.walk(staged):
        folder = pathlib.Path(folder)
        out = target / folder.relative_to(staged)
        out.mkdir(parents=True, exist_ok=True)
        linked = {os.path.realpath(folder / name) for name in files if (folder / name).is_symlink()}
        for name in files:
            source = folder / name
            if source.is_symlink() or os.path.realpath(source) not in linked:
                shutil.copy2(source, out / name)


class CMakeBuild(build_ext):
    """Builds and installs the CMake project instead of compiling the extension itself."""

    def run(self):
        build = pathlib.Path(os.environ.get("KYV_CMAKE_BUILD_DIR") or pathlib.Path(self.build_temp) / "cmake")
        staged = build / "wheel"
        build.mkdir(parents=True, exist_ok=True)
        qt = "ON" if has_pyqt6() else "OFF"
        configure = ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                     "-DKYV_BUILD_TESTS=OFF", "-DKYV_BUILD_BENCHMARKS=OFF", "-DKYV_BUILD_DEMO=OFF",
                     "-DKYV_BUILD_TOOLS=OFF", "-DKYV_WARNINGS_AS_ERRORS=OFF", "-DKYV_INSTALL=ON",
                     f"-DKYV_WITH_QT={qt}", f"-DPython3_EXECUTABLE={sys.executable}",
                     "-DKYV_PYTHON_INSTALL_DIR=.", "-DCMAKE_INSTALL_LIBDIR=kyv/lib"]
        self.spawn(configure)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        self.spawn(["cmake", "--build", str(build), "-j", jobs])
        shutil.rmtree(staged, ignore_errors=True)
        for component in ("Runtime", "Python"):
            self.spawn(["cmake", "--install", str(build), "--prefix", str(staged), "--component", component])
        copy_package(staged / "kyv", pathlib.Path(self.build_lib) / "kyv")


class Install(install):
    """Debian's setuptools (python3-setuptools-whl) asks the install command for the
    options install_layout and prefix_option, which only Debian's own Python defines:
    elsewhere (pyenv's Pythons) both are None, the standard layout."""

    def initialize_options(self):
        super().initialize_options()
        for option in ("install_layout", "prefix_option"):
            if not hasattr(self, option):
                setattr(self, option, None)


setup(
    version=project_version(),
    packages=[],
    # Built by CMake: the entry makes the wheel one for this Python and platform.
    ext_modules=[Extension("kyv._kyv", sources=[])],
    cmdclass={"build_ext": CMakeBuild, "install": Install},
    zip_safe=False,
)
