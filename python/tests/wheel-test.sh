#!/bin/sh
# wheel-test.sh SOURCE WORK VERSION: builds the kyv wheel from a clean copy of SOURCE the way a
# Python user does and uses it from outside the tree, with every CPython of this machine:
#   - Debian's python3: `pip install --no-build-isolation .` into a venv made with
#     --system-site-packages (setuptools, wheel and PyQt6 from Debian): the whole CMake
#     build, kyv.qt included;
#   - `python3 -m build --wheel --no-isolation`, its wheel installed into a fresh venv;
#   - pyenv's CPython 3.12 and later, each in a plain venv given setuptools and wheel from
#     /usr/share/python-wheels: the same command, built through the same CMake folder
#     (KYV_CMAKE_BUILD_DIR), so only the extension compiles again.
# Each imports kyv outside the tree, checks its version and metadata and paints a control.
set -eu
source=$1 work=$2 version=$3
rm -rf "$work"
mkdir -p "$work/src"
unset PYTHONPATH
export PYTHONDONTWRITEBYTECODE=1 QT_QPA_PLATFORM=offscreen KYV_CMAKE_BUILD_DIR="$work/cmake"
if [ -d "$source/.git" ] || [ -f "$source/.git" ]; then
  (cd "$source" && git ls-files -z --cached --others --exclude-standard) | (cd "$source" && xargs -0 cp --parents -t "$work/src")
else
  tar -C "$source" --exclude=./build -cf - . | tar -C "$work/src" -xf -
fi

# The check a user runs, then what the package must carry.
check() {
  python=$1
  (cd "$work" && "$python" - "$version" "$work/src" <<'PY'
import importlib.metadata
import pathlib
import struct
import sys

import kyv

version, tree = sys.argv[1], pathlib.Path(sys.argv[2]).resolve()
where = pathlib.Path(kyv.__file__).resolve()
assert tree not in where.parents, f"kyv imported from the source tree: {where}"
assert kyv.__version__ == version and importlib.metadata.version("kyv") == version, kyv.__version__
meta = importlib.metadata.metadata("kyv")
assert meta["License"] == "MIT" and meta["Summary"], dict(meta)
assert meta.get_payload().lstrip().startswith("# Kyv"), "the README is not the long description"
assert any(p.name == "LICENSE" for p in importlib.metadata.files("kyv")), "no LICENSE in the wheel"
cls = kyv.class_of("KyvVStatus.Kyvvstat")
png = kyv.create("KyvVStatus.Kyvvstat").to_png()
width, height = struct.unpack(">II", png[16:24])
assert png.startswith(b"\x89PNG") and (width, height) == kyv.Kyvvstat().size == (31, 236), (width, height)
registry = kyv.default_registry().registration_file
assert pathlib.Path(registry).resolve().is_relative_to(where.parent), registry
print(f"{sys.executable}: kyv {kyv.__version__} from {where.parent}, {len(png)} bytes of PNG")
PY
  )
}

debian=/usr/bin/python3
"$debian" -m venv --system-site-packages "$work/venv-debian"
"$work/venv-debian/bin/pip" install -q --no-build-isolation --no-index "$work/src"
check "$work/venv-debian/bin/python"
(cd "$work" && "$work/venv-debian/bin/python" -c "import kyv.qt, kyv; assert kyv.qt.__file__.startswith('$work/venv-debian')")
# The same build as a wheel file (nothing compiles again), installed as it is.
(cd "$work/src" && "$debian" -m build --wheel --no-isolation --outdir "$work/dist" > "$work/build.log" 2>&1) ||
  { cat "$work/build.log"; exit 1; }
"$debian" -m venv --system-site-packages "$work/venv-wheel"
"$work/venv-wheel/bin/pip" install -q --no-index "$work"/dist/kyv-"$version"-*.whl
check "$work/venv-wheel/bin/python"

pyenv_root=${PYENV_ROOT:-$HOME/.pyenv}
for python in "$pyenv_root"/versions/3.1[2-9]*/bin/python3; do
  [ -x "$python" ] || { echo "no CPython 3.12 or later from pyenv: only Debian's was tried"; break; }
  name=$(basename "$(dirname "$(dirname "$python")")")
  "$python" -m venv "$work/venv-$name"
  "$work/venv-$name/bin/pip" install -q --no-index /usr/share/python-wheels/setuptools-*.whl \
    /usr/share/python-wheels/wheel-*.whl
  "$work/venv-$name/bin/pip" install -q --no-build-isolation --no-index "$work/src"
  check "$work/venv-$name/bin/python"
  # The extension of another CPython is named in one line.
  other=$(cd "$work" && PYTHONPATH="$work/venv-debian/lib/python3.11/site-packages" "$work/venv-$name/bin/python" \
    -c "import kyv" 2>&1 | tail -n 1) || true
  case $other in
    "ImportError: kyv was built for CPython 3.11, not for this CPython "*) ;;
    *) echo "importing 3.11's kyv into $name said: $other"; exit 1 ;;
  esac
done

