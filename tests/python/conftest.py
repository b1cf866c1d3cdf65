"""Shared set-up of the Python module's tests: the module from python/, the
plug-in and the zorvel program of a build folder (ZORVEL_BUILD, by default
build-release), and runs of that program for comparison."""

import os
import subprocess
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("ZORVEL_BUILD", os.path.join(ROOT, "build-release"))
PLUGIN = os.path.join(BUILD, "libzorvel.so")
PROGRAM = os.path.join(BUILD, "zorvel")
DEMO = os.path.join(BUILD, "share", "zorvel", "demo", "")
# The members of a trace step, in the order the plug-in writes them.
TRACE_MEMBERS = ["Component", "Step", "Item", "Index", "Code", "Table", "Line", "List", "Rule",
                 "HRG", "Result", "Reason"]
sys.path.insert(0, os.path.join(ROOT, "python"))

if not os.path.isfile(PLUGIN):
    pytest.exit(f"no plug-in at {PLUGIN}: build it first (scripts/test.sh does)", returncode=1)


def run_zorvel(*arguments, cwd=None, input_text=None):
    return subprocess.run([PROGRAM, "--plugin", PLUGIN, *arguments] if arguments[0] != "group"
                          else [PROGRAM, "group", "--plugin", PLUGIN, *arguments[1:]],
                          cwd=cwd, input=input_text, capture_output=True, text=True)


def run_python(code):
    """Runs `code` in a fresh interpreter (a process of its own plug-in)."""
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env={**os.environ, "PYTHONPATH": os.path.join(ROOT, "python")})


@pytest.fixture(scope="session")
def grouper():
    import zorvel

    return zorvel.Grouper(data=DEMO, plugin=PLUGIN)
