"""Builds the Python module quil with the project's own CMake build (scikit-build): the library
and the extension, nothing else. `python3 -m pip install --no-build-isolation .` runs it."""
import re
from pathlib import Path

from skbuild import setup

version = re.search(r"project\(Quil VERSION (\S+)",
                    Path(__file__).with_name("CMakeLists.txt").read_text()).group(1)

setup(
    name="quil",
    version=version,
    description="Vectors and matrices of double with the same bits on every machine "
                "(QUIL's determinants, inverse, solve and product on NumPy arrays)",
    packages=["quil"],
    package_dir={"": "python"},
    python_requires=">=3.8",
    install_requires=["numpy"],
    cmake_languages=("CXX",),
    cmake_install_dir="python",  # the extension installs into quil/ beside the package's files
    cmake_args=["-DQUIL_BUILD_PYTHON=ON", "-DQUIL_BUILD_PROGRAMS=OFF", "-DQUIL_BUILD_TESTS=OFF",
                "-DQUIL_BUILD_EXAMPLES=OFF", "-DQUIL_INSTALL=OFF"],
)
