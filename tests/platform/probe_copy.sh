# shellcheck shell=sh
# Sourced by the tests that run a patched copy of the start-up probe, after
# they took the probe's file off their arguments: `work`, a scratch folder
# removed on exit, and run COMMAND...: runs it with "n" on standard input,
# its standard output in $work/output and its standard error in
# $work/errors, its exit status in `status`.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2034  # `status` is read by the script that sources this one
run() {
  status=0
  printf n | "$@" >"$work/output" 2>"$work/errors" || status=$?
}
