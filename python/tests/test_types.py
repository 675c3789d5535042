"""The package's types, as editors see them: mypy --strict and pyright (strict) accept the
examples and typical uses of kyv, kyv.qt and kyv.widgets with no error, and flag misspelt
members and wrong argument types."""
import json
import os
import pathlib
import re
import subprocess
import sys

import pytest
from required import need

import kyv

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = sorted((ROOT / "examples" / "python").glob("*.py"))
PACKAGE_DIR = str(pathlib.Path(kyv.__file__).resolve().parents[1])
PYRIGHT = pathlib.Path(os.environ.get("KYV_PYRIGHT", ROOT / "python" / "tools" / "pyright" / "node_modules" / ".bin"
                                      / "pyright"))

GOOD = '''
import kyv
import kyv.qt
import kyv.widgets
from PyQt6.QtWidgets import QApplication

bar = kyv.create("KyvVStatus.Kyvvstat", Maxlimit=200)
bar.Maxlimit = 150
bar.FillColor = "#ff0000"
colour: str = bar.FillColor.hex
limit: int = bar.Maxlimit
bar.incbar(5)
trace = kyv.HeartBeat(MaxLimit=100, BackColor=(0, 0, 0))
trace.Plot(kyv.Ref(3))
with kyv.class_of("Kyv4Digit.fourseg")() as digits:
    digits.send(12)
app = QApplication([])
sip_bar = kyv.qt.KyvvstatWidget()
sip_bar.setMaxlimit(3)
sip_bar.setFillColor("#00ff00")
sip_bar.maxThreshReached.connect(lambda: None)
fed: bool = sip_bar.incbar(5)
python_bar = kyv.widgets.KyvvstatWidget()
python_bar.setMaxlimit(3)
python_bar.setFillColor((0, 255, 0))
python_bar.maxThreshReached.connect(lambda: None)
fed = python_bar.incbar(4)
width: int = sip_bar.sizeHint().width() + python_bar.sizeHint().width()
'''

# Each line a checker must flag.
BAD = '''import kyv
import kyv.qt
import kyv.widgets

sip_bar = kyv.qt.KyvvstatWidget()
python_bar = kyv.widgets.KyvvstatWidget()
bar = kyv.create("KyvVStatus.Kyvvstat")
sip_bar.setMaxlimitt(3)
sip_bar.incbar("a")
python_bar.setMaxlimitt(3)
python_bar.incbar("a")
bar.incbar("a")
bar.Maxlimit = "a"
bar.Maxlimitt = 3
kyv.Kyvvstat(Maxlimit="a")
'''
FLAGGED = range(8, 16)


def run(command, cwd):
    return subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=300)


def mypy(files, folder):
    need("mypy")
    env_command = [sys.executable, "-m", "mypy", "--strict", "--no-incremental", "--cache-dir", str(folder / "cache"),
                   *map(str, files)]
    return subprocess.run(env_command, cwd=folder, capture_output=True, text=True, timeout=300,
                          env=dict(os.environ, MYPYPATH=PACKAGE_DIR))


def pyright(files, folder):
    if not PYRIGHT.exists():
        missing = f"pyright is not installed at {PYRIGHT}: scripts/install-deps.sh installs it"
        if os.environ.get("KYV_REQUIRE_TEST_TOOLS"):
            pytest.fail(missing, pytrace=False)
        pytest.skip(missing)
    (folder / "pyrightconfig.json").write_text(json.dumps({"extraPaths": [PACKAGE_DIR], "typeCheckingMode": "strict"}))
    return run([str(PYRIGHT), "--pythonpath", sys.executable, *map(str, files)], folder)


@pytest.fixture
def sources(tmp_path):
    if os.environ.get("KYV_SANITIZED") == "1":
        pytest.skip("the stubs are the same in every build: the release build checks them")
    need("PyQt6.QtWidgets")
    (tmp_path / "good.py").write_text(GOOD)
    (tmp_path / "bad.py").write_text(BAD)
    return tmp_path


@pytest.mark.parametrize("checker", [mypy, pyright])
def test_the_examples_and_typical_uses_check_with_no_error(sources, checker):
    done = checker(EXAMPLES + [sources / "good.py"], sources)
    assert done.returncode == 0, done.stdout + done.stderr


@pytest.mark.parametrize("checker", [mypy, pyright])
def test_misspelt_members_and_wrong_types_are_flagged(sources, checker):
    done = checker([sources / "bad.py"], sources)
    flagged = {int(line) for line in re.findall(r"bad\.py:(\d+):", done.stdout)}
    assert flagged == set(FLAGGED), done.stdout
