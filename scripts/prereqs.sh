# Sourced by the scripts in this folder. need PROGRAM-OR-FILE PACKAGE ...
# collects what is missing; install_needed installs it with apt-get when
# run as root, or names it in one line and fails otherwise.

missing_packages=""

need() {
  # need CHECK PACKAGE: CHECK is a program on PATH or an absolute path.
  case "$1" in
  /*) [ -e "$1" ] && return 0 ;;
  *) command -v "$1" >/dev/null 2>&1 && return 0 ;;
  esac
  case " $missing_packages " in
  *" $2 "*) ;;
  *) missing_packages="$missing_packages $2" ;;
  esac
}

need_build_tools() {
  need cmake cmake
  need ninja ninja-build
  need g++ g++
  need /usr/include/gtest/gtest.h libgtest-dev
}

# install_needed [APT-GET-OPTION ...], e.g. --no-install-recommends
install_needed() {
  [ -z "$missing_packages" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "vexoflash: missing prerequisites; install them with: sudo apt-get install$missing_packages" >&2
    exit 1
  fi
  echo "Installing:$missing_packages"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null
  # shellcheck disable=SC2086
  apt-get install -y -q "$@" $missing_packages >/dev/null
  missing_packages=""
}
