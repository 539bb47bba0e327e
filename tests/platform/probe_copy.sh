# shellcheck shell=sh disable=SC2034
# Sourced by the tests that run a patched copy of the start-up probe: `work`, a
# scratch folder removed on exit; run COMMAND...: "n" on its input, its output
# and errors in $work/output and $work/errors, its exit status in `status`.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {
  status=0
  printf n | "$@" >"$work/output" 2>"$work/errors" || status=$?
}
