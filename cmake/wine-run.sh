#!/usr/bin/env bash
# Runs a 32-bit Windows program under wine, as the cross build's test
# emulator: `wine-run.sh [--prefix DIR] program.exe args...`.
#
# The wine prefix is DIR (the win32 toolchain passes one private to the build
# tree), else WINEPREFIX, else ./wineprefix. It is created on first use, under
# a lock so that tests started in parallel do not race to create it, with
# wine's null graphics driver and without its crash debugger. Wine's own
# diagnostics are silenced, so that standard output and standard error carry
# only what the program writes. The exit status is the program's (its low 8
# bits). QUADSOLVE_WINE may name another wine than `wine`.
#
# Caution: without 32-bit wine (wine32) wine fails to start the program yet
# may exit 0; tests must check output, not exit status alone.
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

wine_program="${QUADSOLVE_WINE:-wine}"

ready="$WINEPREFIX/.prefix-ready"
if [[ ! -f "$ready" ]]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [[ ! -f "$ready" ]]; then
      "$wine_program" wineboot --init </dev/null >/dev/null 2>&1 9>&- || exit 1
      # The null graphics driver: windows (a message box) work without any
      # display, and tests can look at them.
      "$wine_program" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
        </dev/null >/dev/null 2>&1 9>&- || exit 1
      # For an exception that nothing handles, the "debugger" started is a
      # command that ends at once, so the process just ends, with the
      # exception code as its exit code, instead of waiting in winedbg: in
      # the registry's view of 32-bit programs and, in a 64-bit prefix, in
      # that of 64-bit programs.
      "$wine_program" reg add \
        'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /d 'cmd /c exit 0' /f /reg:32 </dev/null >/dev/null 2>&1 9>&- || exit 1
      if [[ -d "$WINEPREFIX/drive_c/windows/syswow64" ]]; then
        "$wine_program" reg add \
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
    "$wine_program" cmd /c exit 0 </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$WINEPREFIX.lock"

exec "$wine_program" "$@"
