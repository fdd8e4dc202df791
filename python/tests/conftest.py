"""The package and the ravoprop tool of one build: RAVO_BUILD_DIR (the
build directory; its python/ goes on sys.path)."""
import os
import shutil
import subprocess
import sys

import pytest

BUILD = os.environ.get("RAVO_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(BUILD, "python"))
DATA = os.path.join(SOURCE, "data")
DEM = os.path.join(DATA, "terrain", "N44W072.hgt")


def cli(*args, home):
    """The tool's exit code and standard output."""
    env = dict(os.environ, ZWRAVOPROP_HOME=str(home))
    p = subprocess.run([os.path.join(BUILD, "ravoprop"), *map(str, args)], capture_output=True, text=True,
                       env=env, stdin=subprocess.DEVNULL)
    return p.returncode, p.stdout


def copy_sample(d):
    """The folder d (made when missing) with a copy of the sample studies (tasks 1: radials, 2: tile)."""
    d.mkdir(exist_ok=True)
    for f in os.listdir(os.path.join(DATA, "sample")):
        if not f.endswith(".md"):
            shutil.copy(os.path.join(DATA, "sample", f), d / f)
    return d


@pytest.fixture
def sample(tmp_path):
    """Makes a folder of that name with a copy of the sample studies."""
    return lambda name: copy_sample(tmp_path / name)
