# The steps of the package tests, sourced by them; `log` names the file a step's output goes to.
step() { echo "== $*"; }
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
# Runs a command with its output in the log, shown when it fails.
quiet() {
  "$@" > "$log" 2>&1 || { cat "$log"; fail "$*"; }
}
