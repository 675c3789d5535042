#!/bin/sh
# package-test.sh SOURCE BUILD WORK VERSION: uses Kyv the way the README shows. Installs BUILD into
# a prefix under WORK and moves the prefix; checks that no installed file names the build
# or source folder, that the framework is versioned and that the status bars' shared code
# is exported once; runs kyvhost and KyvDemo from the moved prefix; imports the kyv Python
# package and kyv.qt from it; checks that the Designer
# plugin resolves libkyvqt inside the moved prefix; builds every example
# against it with find_package and runs it with ctest; builds a Qt program with every typed
# widget, whose CMakeLists.txt links Kyv::controls and Kyv::qt and nothing more, as C++17
# and as C++20 with every warning an error; compiles the installed headers as C++17 and
# C++20 and builds both examples again with pkg-config alone, and runs them. Qt programs
# run on the offscreen platform.
set -eu
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
work=$3
version=$4
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
log=$work/step.log
export QT_QPA_PLATFORM=offscreen

. "$source/cmake/tests/steps.sh"

step "install, then move the prefix"
quiet cmake --install "$build" --prefix "$work/installed"
mv "$work/installed" "$work/prefix"
prefix=$work/prefix
libdir=$(dirname "$(find "$prefix" -name 'libkyvframework.so' | head -n 1)")
[ -d "$libdir" ] || fail "no libkyvframework.so in $prefix"

step "no installed file names the build or the source folder"
for folder in "$build" "$source"; do
  if grep -rlF "$folder" "$prefix"; then fail "the files above name $folder"; fi
done

step "the framework carries the project's version"
said=$("$prefix/bin/kyvhost" --version)
[ "$said" = "kyvhost $version" ] || fail "kyvhost --version says \"$said\""
readelf -d "$libdir/libkyvframework.so" | grep -q "SONAME.*libkyvframework.so.${version%%.*}]" ||
  fail "libkyvframework.so has no versioned SONAME"

step "the status bars' shared code is exported by one library"
for lib in "$libdir"/kyv/*.so; do
  if nm -D --defined-only "$lib" | grep -q '_ZN3kyv9StatusBar'; then
    case "$lib" in */libkyvstatusbar.so) ;; *) fail "$lib exports kyv::StatusBar" ;; esac
  fi
done

step "kyvhost from the moved prefix finds the controls"
printf 'classes\nnew f Kyv4Digit.fourseg\ncall f send 42\nlibraries\n' | "$prefix/bin/kyvhost" > "$work/kyvhost.out"
# Every class of the build's registration file, and only those.
printf 'classes\n' | "$build/bin/kyvhost" > "$work/kyvhost.expected"
grep -q '^class Kyv4Digit.fourseg ' "$work/kyvhost.expected" || fail "the build's kyvhost offers no Kyv4Digit.fourseg"
cat >> "$work/kyvhost.expected" <<END
f.send(42) -> 0; arg = 42
library Kyv1Digit
library Kyv4Digit
END
diff -u "$work/kyvhost.expected" "$work/kyvhost.out" || fail "kyvhost in the moved prefix"

if [ -x "$prefix/bin/KyvDemo" ]; then
  step "KyvDemo from the moved prefix"
  quiet "$prefix/bin/KyvDemo" --screenshot "$work/demo.png"
  [ -s "$work/demo.png" ] || fail "KyvDemo wrote no screenshot"
fi

if [ -x "$prefix/bin/kyvdash" ]; then
  step "kyvdash from the moved prefix"
  quiet "$prefix/bin/kyvdash" --snapshot "$work/dash.png" "$source/examples/dashboards/system.json"
  [ -s "$work/dash.png" ] || fail "kyvdash wrote no snapshot"
fi

plugin=$(find "$prefix" -path '*/qt6/plugins/designer/libkyvdesigner.so' | head -n 1)
if [ -n "$plugin" ]; then
  step "the Designer plugin finds libkyvqt in the moved prefix"
  found=$(ldd "$plugin" | awk '$1 == "libkyvqt.so.1" { print $3 }')
  [ -n "$found" ] && [ "$(realpath "$found")" = "$(realpath "$libdir/libkyvqt.so.1")" ] ||
    fail "$plugin links libkyvqt.so.1 as \"$found\", not the prefix's"
fi

pydir=$prefix/lib/python3/dist-packages
if [ -d "$pydir/kyv" ]; then
  step "the kyv Python package from the moved prefix"
  cat > "$work/kyv-check.py" <<'END'
import os, sys
import kyv
prefix = os.path.realpath(sys.argv[1])
assert os.path.realpath(kyv.default_registry().registration_file).startswith(prefix), kyv.default_registry().registration_file
bar = kyv.create("KyvVStatus.Kyvvstat", width=31, height=236)
bar.Maxlimit = 200
bar.incbar(120)
assert bar.to_png().startswith(b"\x89PNG") and bar.to_array().shape == (236, 31, 4)
assert os.path.isfile(os.path.join(os.path.dirname(kyv.__file__), "py.typed"))
if os.path.exists(os.path.join(os.path.dirname(kyv.__file__), "_qt.abi3.so")):
    from PyQt6.QtWidgets import QApplication
    import kyv.qt
    app = QApplication([])
    widget = kyv.qt.FoursegWidget()
    assert widget.send(42) and widget.className() == "Kyv4Digit.fourseg"
print("kyv", len(kyv.classes()))
END
  PYTHONPATH="$pydir" /usr/bin/python3 "$work/kyv-check.py" "$prefix" > "$log" 2>&1 || { cat "$log"; fail "kyv from the moved prefix"; }
  grep -q "^kyv 8$" "$log" || { cat "$log"; fail "kyv from the moved prefix lists no 8 classes"; }
fi

for dir in "$source"/examples/*/; do
  [ -f "$dir/CMakeLists.txt" ] || continue
  name=$(basename "$dir")
  step "example $name with find_package"
  quiet cmake -S "$dir" -B "$work/find_package/$name" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release
  quiet cmake --build "$work/find_package/$name"
  quiet ctest --test-dir "$work/find_package/$name" --output-on-failure
done

if find "$prefix" -name KyvQtTargets.cmake | grep -q .; then
  for standard in 17 20; do
    step "a Qt program with every typed widget, as C++$standard"
    quiet cmake -S "$source/cmake/tests/consumer" -B "$work/consumer$standard" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_STANDARD=$standard -DCMAKE_CXX_EXTENSIONS=OFF \
      "-DCMAKE_CXX_FLAGS=-Wall -Wextra -Wpedantic -Werror"
    quiet cmake --build "$work/consumer$standard"
    quiet "$work/consumer$standard/app"
    grep -q "^ok$" "$log" || { cat "$log"; fail "the C++$standard program"; }
    [ "$standard" = 17 ] && expected=201703 || expected=202002
    grep -q "^C++ $expected$" "$log" || { cat "$log"; fail "the program was not built as C++$standard"; }
  done
fi

step "both examples with pkg-config"
export PKG_CONFIG_PATH="$libdir/pkgconfig"
[ "$(pkg-config --modversion kyv)" = "$version" ] || fail "pkg-config --modversion kyv"
rpath="-Wl,-rpath,$(pkg-config --variable=libdir kyv) -Wl,-rpath,$(pkg-config --variable=plugindir kyv)"
mkdir -p "$work/pkg-config"
cd "$work/pkg-config"
# The installed headers compile with the packages' flags alone; the flags are meant to split.
(cd "$prefix/include" && find kyv -name '*.h' ! -path 'kyv/qt/*' | sort | sed 's/.*/#include <&>/') > headers.cpp
(cd "$prefix/include" && find kyv/qt -name '*.h' | sort | sed 's/.*/#include <&>/') > qt-headers.cpp
for standard in c++17 c++20; do
  quiet c++ -std=$standard -Wall -Wextra -Wpedantic -Werror -fsyntax-only headers.cpp $(pkg-config --cflags kyv)
  quiet c++ -std=$standard -Wall -Wextra -Wpedantic -Werror -fPIC -fsyntax-only qt-headers.cpp \
    $(pkg-config --cflags kyv-qt)
done
quiet c++ -std=c++20 -o status-bar-png "$source/examples/status-bar-png/main.cpp" \
  $(pkg-config --cflags --libs kyv-vstatus) $rpath
quiet ./status-bar-png bar.png
[ -s bar.png ] || fail "status-bar-png wrote no picture"
quiet c++ -std=c++20 -fPIC -o qt-window "$source/examples/qt-window/main.cpp" \
  $(pkg-config --cflags --libs kyv-qt) $rpath
quiet ./qt-window --screenshot window.png
[ -s window.png ] || fail "qt-window wrote no picture"

echo "PASSED"
