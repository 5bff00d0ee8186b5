"""Builds the wheel lumora with scikit-build: the project's CMake configured
for the Python module alone (LUMORA_PYTHON_ONLY), which installs the package
lumora, extension included, into python/lumora of scikit-build's tree. The
metadata is in pyproject.toml; the version is the one of CMakeLists.txt."""

import os
import re
from pathlib import Path

from skbuild import setup

ROOT = Path(__file__).resolve().parent


def project_version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"^project\(\s*\w+\s+VERSION\s+([0-9.]+)", text, re.MULTILINE)
    if found is None:
        raise SystemExit("setup.py: no project(... VERSION ...) in CMakeLists.txt")
    return found.group(1)


# Two jobs, as the project's scripts build, unless asked otherwise.
os.environ.setdefault("CMAKE_BUILD_PARALLEL_LEVEL", os.environ.get("LUMORA_JOBS", "2"))
setup(
    version=project_version(),
    packages=["lumora"],
    package_dir={"lumora": "python/lumora"},
    cmake_args=[
        "-DLUMORA_PYTHON_ONLY=ON",
        "-DLUMORA_PYTHON_DIR:STRING=python",
    ],
    cmake_install_target="lumora_install_python",
)
