"""Builds the Python module quil with the project's own CMake build (scikit-build): the library
and the extension, nothing else. `python3 -m pip install --no-build-isolation .` runs it."""
import re
from pathlib import Path

try:
    from skbuild import setup
except ImportError:
    raise SystemExit("quil is built with scikit-build, pybind11 and NumPy: Debian's "
                     "/usr/bin/python3 has them (python3-skbuild, python3-pybind11, "
                     "python3-numpy); make the venv from it with --system-site-packages") from None

version = re.search(r"project\(Quil VERSION (\S+)",
                    Path(__file__).with_name("CMakeLists.txt").read_text()).group(1)

setup(
    name="quil",
    version=version,
    description="Vectors and matrices of double with the same bits on every machine "
                "(QUIL's determinants, inverse, solve and product on NumPy arrays)",
    packages=["quil"],
    package_data={"quil": ["py.typed", "*.pyi"]},  # the type stubs
    package_dir={"": "python"},
    python_requires=">=3.8",
    install_requires=["numpy"],
    cmake_languages=("CXX",),
    cmake_install_dir="python",  # the extension installs into quil/ beside the package's files
    cmake_args=["-DQUIL_BUILD_PYTHON=ON", "-DQUIL_BUILD_PROGRAMS=OFF", "-DQUIL_BUILD_TESTS=OFF",
                "-DQUIL_BUILD_EXAMPLES=OFF", "-DQUIL_INSTALL=OFF"],
)
