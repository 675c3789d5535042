#!/bin/sh
# sip-build.sh LOG PYTHON SIP-BUILD QMAKE: runs sip-build in the current folder (which holds
# pyproject.toml) with its output in LOG, shown when it fails. The generated bindings are
# compiled as one file, so that the Qt headers are read once.
set -u
log=$1
"$2" "$3" --no-version-info --concatenate 1 --jobs 2 --qmake "$4" > "$log" 2>&1 || { cat "$log"; exit 1; }
