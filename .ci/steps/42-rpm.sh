#!/usr/bin/env bash
# The RPM of the release build (the tree 40-package.sh built): rpmlint
# finds no error but the two the README explains (no-signature: packages
# are signed when published; non-standard-dir-perm: /var/lib/vexoflash is
# root's alone) and no warning it does not explain, its file list is what an operator needs, and the program
# installed from it into a scratch root prints its usage.
set -euo pipefail
. scripts/prereqs.sh
need_build_tools
need rpmbuild rpm
need rpmlint rpmlint
install_needed --no-install-recommends

build=build/release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
built_tree release

echo "--- cpack -G RPM"
rm -f "$build"/vexoflash-*.rpm
(cd "$build" && cpack -G RPM >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
rpm=$(ls "$build"/vexoflash-*.rpm)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ "$(basename "$rpm")" = "vexoflash-$version-1.$(uname -m).rpm" ] ||
  { echo "FAIL: the RPM is named $(basename "$rpm")" >&2; exit 1; }
echo "$rpm"

echo "--- rpmlint"
rpmlint "$rpm" >"$work/rpmlint.txt" 2>&1 || true
cat "$work/rpmlint.txt"
# Errors and warnings other than those the README explains fail the step.
if grep -E ': [EW]: ' "$work/rpmlint.txt" | grep -vE ': (E: no-signature|E: non-standard-dir-perm /var/lib/vexoflash 700|W: no-manual-page-for-binary vexoflash|W: manpage-not-compressed bz2 /usr/share/man/man8/vexoflash.8.gz|W: invalid-license MIT)$'; then
  echo "FAIL: rpmlint reports the findings above, which the README does not explain" >&2
  exit 1
fi

echo "--- rpm -qlvp"
rpm -qlvp "$rpm" | awk '{ print $1, $3, $4, $NF }' | tee "$work/contents.txt"
cat >"$work/expected.txt" <<'LIST'
-rwxr-xr-x root root /usr/sbin/vexoflash
drwxr-xr-x root root /usr/share/doc/vexoflash
-rw-r--r-- root root /usr/share/doc/vexoflash/README.md
-rw-r--r-- root root /usr/share/doc/vexoflash/copyright
-rw-r--r-- root root /usr/share/man/man8/vexoflash.8.gz
drwx------ root root /var/lib/vexoflash
LIST
diff -u "$work/expected.txt" "$work/contents.txt"
rpm -qp --qf '[%{FILEFLAGS:fflags} %{FILENAMES}\n]' "$rpm" | grep -qx 'd /usr/share/doc/vexoflash/README.md' &&
  rpm -qp --qf '[%{FILEFLAGS:fflags} %{FILENAMES}\n]' "$rpm" | grep -qx 'dl /usr/share/doc/vexoflash/copyright' ||
  { echo "FAIL: the README and the license are not marked as documentation" >&2; exit 1; }

echo "--- rpm -qp --requires"
rpm -qp --requires "$rpm" | tee "$work/requires.txt"
# The release build links the C++ runtime in: the C library is all it needs.
if grep -E 'libstdc\+\+|libgcc' "$work/requires.txt"; then
  echo "FAIL: the packaged program needs the shared C++ runtime" >&2
  exit 1
fi

echo "--- rpm -i --root (scratch root) and the installed program"
root="$work/root"
mkdir "$root"
rpm -i --root "$root" --dbpath /var/lib/rpm --nodeps "$rpm" 2>"$work/rpm.log" ||
  { cat "$work/rpm.log"; exit 1; }
rpm -q --root "$root" --dbpath /var/lib/rpm vexoflash
stat -c '%A %U %G %n' "$root/var/lib/vexoflash"
[ "$(stat -c '%a %U' "$root/var/lib/vexoflash")" = "700 root" ] ||
  { echo "FAIL: /var/lib/vexoflash is not root's with mode 0700" >&2; exit 1; }
mkdir "$work/run"
status=0
(cd "$work/run" && "$root/usr/sbin/vexoflash" >"$work/usage.txt") || status=$?
cat "$work/usage.txt"
echo "exit status $status"
[ "$status" -eq 111 ] && grep -q 'Tarnell Vexo3 Update Utility' "$work/usage.txt" &&
  grep -q '^USAGE: vexoflash ' "$work/usage.txt" ||
  { echo "FAIL: the installed vexoflash did not print its banner and usage" >&2; exit 1; }
echo "RPM checks passed"
