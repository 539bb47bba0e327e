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
