#!/usr/bin/env bash
# The RPM of the release build (the tree 40-package.sh built): rpmlint
# finds nothing but what the README's "RPM" explains; it holds exactly the
# program, the manual, the README and licence as documentation, and
# /var/lib/vexoflash (root's, 0700); it needs no shared C++ runtime; and
# installed into a scratch root, its program prints its usage.
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
rm -f "$build"/vexoflash-*.rpm
(cd "$build" && cpack -G RPM >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
rpm=$(ls "$build"/vexoflash-*.rpm)
echo "--- rpmlint $rpm"
rpmlint "$rpm" | tee "$work/rpmlint.txt" || true
if grep -E ': [EW]: ' "$work/rpmlint.txt" | grep -vE ': (E: no-signature|E: non-standard-dir-perm /var/lib/vexoflash 700|W: no-manual-page-for-binary vexoflash|W: manpage-not-compressed bz2 /usr/share/man/man8/vexoflash.8.gz|W: invalid-license MIT)$'; then
  echo "FAIL: rpmlint reports the findings above, which the README does not explain" >&2
  exit 1
fi

echo "--- rpm -qlp; its modes, owners and flags (d: documentation, l: licence)"
rpm -qlp "$rpm"
rpm -qp --qf '[%{FILEMODES:perms} %{FILEUSERNAME} %{FILEGROUPNAME} %{FILEFLAGS:fflags} %{FILENAMES}\n]' \
  "$rpm" >"$work/files.txt"
diff -u - "$work/files.txt" <<'LIST'
-rwxr-xr-x root root  /usr/sbin/vexoflash
drwxr-xr-x root root  /usr/share/doc/vexoflash
-rw-r--r-- root root d /usr/share/doc/vexoflash/README.md
-rw-r--r-- root root dl /usr/share/doc/vexoflash/copyright
-rw-r--r-- root root d /usr/share/man/man8/vexoflash.8.gz
drwx------ root root  /var/lib/vexoflash
LIST

echo "--- rpm -qp --requires"
rpm -qp --requires "$rpm" | tee "$work/requires.txt"
! grep -E 'libstdc\+\+|libgcc' "$work/requires.txt" ||
  { echo "FAIL: the packaged program needs the shared C++ runtime" >&2; exit 1; }

echo "--- rpm -i --root DIR --nodeps, then DIR/usr/sbin/vexoflash"
mkdir "$work/root" "$work/run"
rpm -i --root "$work/root" --dbpath /var/lib/rpm --nodeps "$rpm" 2>"$work/rpm.log" ||
  { cat "$work/rpm.log"; exit 1; }
status=0
(cd "$work/run" && "$work/root/usr/sbin/vexoflash") | tee "$work/usage.txt" || status=$?
echo "exit status $status"
[ "$status" -eq 111 ] && grep -q 'Tarnell Vexo3 Update Utility' "$work/usage.txt" &&
  grep -q '^USAGE: vexoflash ' "$work/usage.txt" ||
  { echo "FAIL: the installed vexoflash did not print its banner and usage" >&2; exit 1; }
echo "RPM checks passed"
