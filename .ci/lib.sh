# Shared by the CI scripts (sourced, not run).

# install_missing PACKAGE...
# Installs with apt-get those of the Debian packages that are not installed
# yet, after one `apt-get update`; a package named with the suffix :i386 first
# adds the i386 architecture to dpkg. Prints what it installs, or that nothing
# is missing.
install_missing() {
  local package missing=()
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  if ((${#missing[@]} == 0)); then
    echo "all installed"
    return 0
  fi
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# step TITLE: a heading with the time of day, before each step of a script.
step() {
  echo
  echo "== $1 ($(date -u +%H:%M:%S))"
}

# run_step TITLE COMMAND...: runs the command as a step; a failure is noted in
# `failed` and the script goes on, so that one run shows every failure. The
# step runs as a process of its own, in which `set -e` holds: run inside an
# `if` or before `||`, a step function would go on past a failing command.
# finish_steps ends the script: the time taken, and exit status 1 when any
# step failed.
failed=()
steps_started=$(date +%s)
run_step() {
  local title="$1" status=0
  shift
  step "$title"
  "$@" &
  wait $! || status=$?
  if ((status != 0)); then
    echo "failed with exit status $status: $title"
    failed+=("$title")
  fi
}
finish_steps() {
  step "done in $(($(date +%s) - steps_started)) s"
  if ((${#failed[@]} > 0)); then
    printf 'failed: %s\n' "${failed[@]}"
    return 1
  fi
}

# check_run NAME COMMAND...: the command gets the equation 1 -3 2 (and an
# empty line) on standard input and must write exactly the two lines of its
# solution and end with exit status 0.
check_run() {
  local name="$1" got want status=0
  shift
  got=$(
    printf '1 -3 2\n\n' | "$@" | od -An -c
    exit "${PIPESTATUS[1]}"
  ) || status=$?
  want=$(printf '\r\n2 1.00 2.00\r\n' | od -An -c)
  if [[ "$got" != "$want" || $status -ne 0 ]]; then
    echo "$name: exit status $status, output:$got"
    return 1
  fi
  echo "$name: solves 1 -3 2 ($*)"
}
