# Shared by the CI scripts and by ./workflow (sourced, not run).

# The workflow presets of CMakePresets.json (CI checks that they are these).
workflow_presets=(release test long proof bench fuzz package aarch64 s390x armhf riscv64 ppc64le
  win32 win64 web page)

# workflow_packages PRESET...: the Debian packages that the workflows of
# CMakePresets.json need, each package once. Fails on an unknown preset,
# naming the presets there are.
# The WebAssembly programs: clang's wasm32 target, wasm-ld (lld), the
# archiver that indexes their libraries (llvm-ar, in llvm), the C headers of
# wasi-libc and libc++'s C++ headers for wasm32, the compiler's builtins.
wasm_packages=(clang lld llvm wasi-libc libc++-14-dev-wasm32 libclang-rt-14-dev-wasm32)
workflow_packages() {
  local preset packages=()
  for preset in "$@"; do
    case "$preset" in
      release) packages+=(cmake g++ make) ;;
      # python3: the library's answers against the batch program's are checked
      # on generated equations.
      test | long | proof) packages+=(cmake g++ make libgtest-dev python3) ;;
      # valgrind: bench/batch_run.sh counts the instructions of a line.
      bench) packages+=(cmake g++ make libbenchmark-dev valgrind) ;;
      fuzz) packages+=(cmake make clang libclang-rt-14-dev) ;;
      # GoogleTest is compiled from its sources (libgtest-dev) by each cross
      # compiler; the tests run under qemu.
      aarch64) packages+=(cmake make libgtest-dev qemu-user g++-aarch64-linux-gnu) ;;
      s390x) packages+=(cmake make libgtest-dev qemu-user g++-s390x-linux-gnu) ;;
      armhf) packages+=(cmake make libgtest-dev qemu-user g++-arm-linux-gnueabihf) ;;
      riscv64) packages+=(cmake make libgtest-dev qemu-user g++-riscv64-linux-gnu) ;;
      ppc64le) packages+=(cmake make libgtest-dev qemu-user g++-powerpc64le-linux-gnu) ;;
      # The end-to-end tests of the Windows program are built for this machine
      # (g++, libgtest-dev) and run it under wine, which needs wine32 for a
      # 32-bit program.
      win32) packages+=(cmake make g++ libgtest-dev g++-mingw-w64-i686-posix wine wine32:i386) ;;
      win64) packages+=(cmake make g++ libgtest-dev g++-mingw-w64-x86-64-posix wine wine64) ;;
      # python3 serves the page as the README shows. The web preset's
      # end-to-end tests are built for this machine (g++, libgtest-dev) and
      # run the programs under Node.
      page) packages+=(cmake make "${wasm_packages[@]}" python3) ;;
      web) packages+=(cmake make "${wasm_packages[@]}" python3 nodejs g++ libgtest-dev) ;;
      # Every platform's release program; git gives the packages the time of
      # the last commit, rpm's rpmbuild makes the RPM packages. The cross
      # toolchain files look for qemu.
      package)
        packages+=(cmake make g++ git rpm qemu-user g++-aarch64-linux-gnu g++-s390x-linux-gnu
          g++-arm-linux-gnueabihf g++-riscv64-linux-gnu g++-powerpc64le-linux-gnu
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix "${wasm_packages[@]}")
        ;;
      *)
        echo "no workflow preset named '$preset'; the presets: ${workflow_presets[*]}" >&2
        return 1
        ;;
    esac
  done
  printf '%s\n' "${packages[@]}" | awk '!seen[$0]++' | paste -sd ' '
}

# install_missing PACKAGE...
# Installs with apt-get those of the Debian packages that are not installed
# yet, after one `apt-get update`; a package named with the suffix :i386 first
# adds the i386 architecture to dpkg. Prints what it installs, or that nothing
# is missing. Not as root, it installs through sudo; where there is no sudo
# either, it names the packages to install and fails. On a system without
# dpkg it only names them. On a terminal (standard input and output), unless
# assume_yes is 1, it names the packages and asks first; any answer but yes
# installs nothing and fails.
assume_yes=0
install_missing() {
  local package missing=() as_root=() add_i386=0 answer
  if ! command -v dpkg-query >/dev/null; then
    echo "no dpkg here: this needs the Debian packages $*, or what this system calls them"
    return 0
  fi
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  if ((${#missing[@]} == 0)); then
    echo "all installed"
    return 0
  fi
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    add_i386=1
  fi
  if ((EUID != 0)); then
    if ! command -v sudo >/dev/null; then
      echo "missing Debian packages: ${missing[*]}"
      echo "install them as root, then run this again:"
      ((add_i386)) && echo "  dpkg --add-architecture i386"
      echo "  apt-get update"
      echo "  apt-get install --no-install-recommends ${missing[*]}"
      return 1
    fi
    as_root=(sudo)
  fi
  if ((assume_yes != 1)) && [[ -t 0 && -t 1 ]]; then
    echo "missing Debian packages: ${missing[*]}"
    read -r -p "install them with ${as_root[*]:+sudo }apt-get, with what they depend on? [y/N] " answer
    if [[ "$answer" != [yY]* ]]; then
      echo "nothing installed"
      return 1
    fi
  fi
  echo "installing: ${missing[*]}"
  if ((add_i386)); then
    "${as_root[@]}" dpkg --add-architecture i386
  fi
  # A download that breaks off is tried again rather than failing the run.
  "${as_root[@]}" apt-get -o Acquire::Retries=3 update -q
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get -o Acquire::Retries=3 install -y -q --no-install-recommends "${missing[@]}"
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
# Its output (standard error merged into standard output) also goes to a log,
# so that the end of a failed step can be shown again at the end of the run,
# where a reader of a long CI log looks first.
# finish_steps ends the script: the time taken; for each failed step, its
# failure lines and last lines; and exit status 1 when any step failed.
failed=()
failed_logs=()
steps_started=$(date +%s)
run_step() {
  local title="$1" status=0 log
  shift
  step "$title"
  log=$(mktemp)
  ("$@" 2>&1 | tee "$log") &
  wait $! || status=$?
  if ((status != 0)); then
    echo "failed with exit status $status: $title"
    failed+=("$title")
    failed_logs+=("$log")
  else
    rm -f "$log"
  fi
}
finish_steps() {
  local index
  step "done in $(($(date +%s) - steps_started)) s"
  if ((${#failed[@]} > 0)); then
    for index in "${!failed[@]}"; do
      echo
      echo "-- failed: ${failed[$index]}; its first failure lines (at most 100):"
      grep -E -A6 '\*\*\*Failed|\*\*\*Exception|\*\*\*Timeout|\[  FAILED  \]|^failed|mismatch|[Ee]rror:|Failure$' \
        "${failed_logs[$index]}" | head -n 100 || true
      echo "-- and its last 60 lines:"
      tail -n 60 "${failed_logs[$index]}"
      rm -f "${failed_logs[$index]}"
    done
    echo
    printf 'failed: %s\n' "${failed[@]}"
    return 1
  fi
}

# The output bytes of the program for the equation 1 -3 2, as `od -An -c`
# shows them (.ci/quick-start).
solution_bytes=$(printf '\r\n2 1.00 2.00\r\n' | od -An -c)

# same_files_as_prefix FOLDER: whether FOLDER holds exactly the files of an
# installation into a prefix (the two programs, their manual pages and the
# documentation); names the difference when not.
same_files_as_prefix() {
  diff <(printf '%s\n' ./bin/quadsolve ./bin/quadsolve-batch ./share/doc/quadsolve/LICENSE \
    ./share/doc/quadsolve/README.md ./share/man/man1/quadsolve-batch.1.gz \
    ./share/man/man1/quadsolve.1.gz) <(cd "$1" && find . -type f | LC_ALL=C sort)
}

# check_answer NAME INPUT EXPECTED WHAT COMMAND...: the command gets INPUT on
# standard input and must write exactly EXPECTED and end with exit status 0;
# WHAT names what it did.
check_answer() {
  local name="$1" input="$2" expected="$3" what="$4" got status=0
  shift 4
  got=$(
    printf '%s' "$input" | "$@" | od -An -c
    exit "${PIPESTATUS[1]}"
  ) || status=$?
  if [[ "$got" != "$(printf '%s' "$expected" | od -An -c)" || $status -ne 0 ]]; then
    echo "$name: exit status $status, output:$got"
    return 1
  fi
  echo "$name: $what ($*)"
}

# check_run NAME COMMAND...: the command (quadsolve) gets the equation 1 -3 2
# and an empty line, and must write exactly the two lines of its solution.
check_run() {
  local name="$1"
  shift
  check_answer "$name" $'1 -3 2\n\n' $'\r\n2 1.00 2.00\r\n' "solves 1 -3 2" "$@"
}

# check_batch NAME COMMAND...: the command (quadsolve-batch) gets the records
# 1 -3 2 and 1 2 1 and must write exactly their two result lines.
check_batch() {
  local name="$1"
  shift
  check_answer "$name" $'1 -3 2\n1 2 1\n' $'2 1.00 2.00\r\n3 -1.00\r\n' "answers two records" "$@"
}
