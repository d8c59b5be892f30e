# shellcheck shell=sh
# Sourced by the scripts in this folder and the CI steps. need
# PROGRAM-OR-FILE PACKAGE ... collects what is missing; install_needed
# installs it with apt-get when run as root, or names it in one line and
# fails otherwise.

missing_packages=""

need() {
  # need CHECK PACKAGE: CHECK is a program on PATH or an absolute path.
  case "$1" in
  /*) [ -e "$1" ] && return 0 ;;
  *) command -v "$1" >/dev/null 2>&1 && return 0 ;;
  esac
  need_package "$2"
}

need_package() {
  case " $missing_packages " in
  *" $1 "*) ;;
  *) missing_packages="$missing_packages $1" ;;
  esac
}

# need_clang_runtime SANITIZER: clang++, and the runtime libraries with
# which it links -fsanitize=SANITIZER (such as address,undefined), for
# whichever LLVM version clang++ is: a program is linked to find out.
need_clang_runtime() {
  if ! command -v clang++ >/dev/null 2>&1; then
    need_package clang
    need_package libclang-rt-dev
    return 0
  fi
  probe_dir=$(mktemp -d)
  case "$1" in
  *fuzzer*) echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }' ;;
  *) echo 'int main() { return 0; }' ;;
  esac >"$probe_dir/probe.cpp"
  clang++ -fsanitize="$1" "$probe_dir/probe.cpp" -o "$probe_dir/probe" >/dev/null 2>&1 ||
    need_package libclang-rt-dev
  rm -rf "$probe_dir"
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
  # CI runs a step beside others (.ci/run): one installs at a time.
  (
    flock 9
    apt-get update -q >/dev/null
    # shellcheck disable=SC2086
    apt-get install -y -q -o DPkg::Lock::Timeout=300 "$@" $missing_packages >/dev/null
  ) 9>/tmp/vexoflash-prereqs.lock
  missing_packages=""
}

# built_tree PRESET [TARGET]: the preset's build tree as an earlier step
# left it, configured here only when there is none yet, and TARGET (or
# everything) brought up to date: nothing to do when that step built it.
built_tree() {
  [ -f "build/$1/build.ninja" ] || cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" ${2:+--target "$2"} >/dev/null
}
