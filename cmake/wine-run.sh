#!/usr/bin/env bash
# Runs a Windows program (32-bit or 64-bit) under wine, as the cross builds' test
# emulator: `wine-run.sh [--prefix DIR] program.exe args...`.
#
# The wine prefix is DIR (each Windows toolchain passes one private to its
# build tree), else WINEPREFIX, else ./wineprefix. It is created on first use, under
# a lock so that tests started in parallel do not race to create it, with
# wine's null graphics driver and without its crash debugger. Wine's own
# diagnostics are silenced, so that standard output and standard error carry
# only what the program writes. The exit status is the program's (its low 8
# bits). A 64-bit program runs under the 64-bit loader (wine64), any other
# under `wine`; QUADSOLVE_WINE may name another.
#
# Caution: without the wine of the program's width (wine32, wine64) wine fails
# to start the program yet may exit 0; tests must check output, not exit
# status alone.
set -u

if [[ "${1:-}" == --prefix ]]; then
  WINEPREFIX="$2"
  shift 2
fi
: "${WINEPREFIX:=$PWD/wineprefix}"
# wine wants an absolute path.
[[ "$WINEPREFIX" == /* ]] || WINEPREFIX="$PWD/$WINEPREFIX"
export WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs while the prefix is created.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# No window system is needed or wanted.
unset DISPLAY WAYLAND_DISPLAY

# pe_machine FILE: the machine field of a Windows program's PE header, as
# four hexadecimal digits (014c for x86, 8664 for x86-64); nothing for any
# other file.
pe_machine() {
  local offset bytes
  [[ -f "$1" && "$(od -An -c -N2 "$1" 2>/dev/null | tr -d ' ')" == MZ ]] || return 0
  read -r -a bytes <<<"$(od -An -tu1 -j60 -N4 "$1")"
  offset=$((bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24))
  read -r -a bytes <<<"$(od -An -tx1 -j$((offset + 4)) -N2 "$1")"
  echo "${bytes[1]:-}${bytes[0]:-}"
}

# The loader of the program's width. Debian's `wine` is the 32-bit loader;
# given a 64-bit program, it hands it on to the 64-bit loader through
# start.exe, a detour that costs a process and that, now and then soon after
# the wine server has started, fails with "Application could not be started"
# instead of running the program. So a 64-bit program goes to the 64-bit
# loader directly.
wine_program=wine
if [[ "$(pe_machine "${1:-}")" == 8664 ]]; then
  if command -v wine64 >/dev/null; then
    wine_program=wine64
  elif [[ -x /usr/lib/wine/wine64 ]]; then
    wine_program=/usr/lib/wine/wine64
  fi
fi
wine_program="${QUADSOLVE_WINE:-$wine_program}"

# Wine runs with the address-space layout randomisation turned off, where the
# system lets a process do so. Wine needs a few fixed addresses for itself
# (the 64-bit loader, for one, the shared user data at 0x7ffe0000), and with a
# random layout the system now and then has put something there already: the
# process then ends with exit status 1 and "failed to map the shared user
# data", about once in a few thousand runs, without running the program.
wine=("$wine_program")
if setarch -R true 2>/dev/null; then
  wine=(setarch -R "$wine_program")
fi

ready="$WINEPREFIX/.prefix-ready"
if [[ ! -f "$ready" ]]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [[ ! -f "$ready" ]]; then
      "${wine[@]}" wineboot --init </dev/null >/dev/null 2>&1 9>&- || exit 1
      # The null graphics driver: windows (a message box) work without any
      # display, and tests can look at them.
      "${wine[@]}" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
        </dev/null >/dev/null 2>&1 9>&- || exit 1
      # For an exception that nothing handles, the "debugger" started is a
      # command that ends at once, so the process just ends, with the
      # exception code as its exit code, instead of waiting in winedbg: in
      # the registry's view of 32-bit programs and, in a 64-bit prefix, in
      # that of 64-bit programs.
      "${wine[@]}" reg add \
        'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /d 'cmd /c exit 0' /f /reg:32 </dev/null >/dev/null 2>&1 9>&- || exit 1
      if [[ -d "$WINEPREFIX/drive_c/windows/syswow64" ]]; then
        "${wine[@]}" reg add \
          'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
          /v Debugger /d 'cmd /c exit 0' /f /reg:64 </dev/null >/dev/null 2>&1 9>&- || exit 1
      fi
      wineserver -k 9>&-
      touch "$ready"
    fi
  ) 9>"$WINEPREFIX.lock" || {
    echo "wine-run.sh: cannot create the wine prefix $WINEPREFIX" >&2
    exit 125
  }
fi

# The wine server and wine's own background programs are started here,
# detached from this program's standard handles, and linger a few seconds
# after the last program has ended, so a run of many tests starts them once.
# Were they started by wine for the program, they would inherit its output
# pipe and hold it open until they end, and whoever reads that pipe to its end
# would wait for them. (wineserver exits with 0 only when it has just started;
# the lock keeps parallel runs from starting wine's programs meanwhile.)
(
  flock 9
  if wineserver -p"${QUADSOLVE_WINESERVER_LINGER:-10}" </dev/null >/dev/null 2>&1 9>&-; then
    "${wine[@]}" cmd /c exit 0 </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$WINEPREFIX.lock"

exec "${wine[@]}" "$@"
