#!/usr/bin/env bash
# The RPM of the release build (the tree 40-package.sh built): rpmlint
# finds nothing but what docs/development.md ("Packages") explains; it
# holds exactly the program, the manual, the README and licence as
# documentation, and /var/lib/vexoflash (root's, 0700); it installs into a
# scratch root; its program is the .deb's, byte for byte, so that what
# 40-package.sh and 70-hardening.sh check of that program (no shared C++
# runtime, it prints its usage, its hardening) is checked once for both
# packages; and its removal keeps the working directory that holds files.
set -euo pipefail
. scripts/prereqs.sh
need_build_tools
need rpmbuild rpm
need rpmlint rpmlint
need objcopy binutils
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
  echo "FAIL: rpmlint reports the findings above, which docs/development.md does not explain" >&2
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

echo "--- rpm -i --root DIR --nodeps"
mkdir "$work/root"
rpm -i --root "$work/root" --dbpath /var/lib/rpm --nodeps "$rpm" 2>"$work/rpm.log" ||
  { cat "$work/rpm.log"; exit 1; }
echo "--- its program and the .deb's"
deb=$(find "$build" -maxdepth 1 -name 'vexoflash_*.deb' -newer "$build/vexoflash" | head -n 1)
if [ -z "$deb" ]; then # missing, or older than the program
  (cd "$build" && cpack -G DEB >/dev/null)
  deb=$(ls "$build"/vexoflash_*.deb)
fi
# rpmbuild drops the .comment section (the compiler's name): compared
# without it.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/sbin/vexoflash >"$work/deb-vexoflash"
objcopy -R .comment "$work/deb-vexoflash" "$work/deb"
objcopy -R .comment "$work/root/usr/sbin/vexoflash" "$work/rpm"
cmp "$work/deb" "$work/rpm" || { echo "FAIL: the RPM's program is not the .deb's" >&2; exit 1; }
echo "--- rpm -e: /var/lib/vexoflash kept while it holds an operator's file"
touch "$work/root/var/lib/vexoflash/image.bin"
rpm -e --root "$work/root" --dbpath /var/lib/rpm vexoflash 2>>"$work/rpm.log" || { cat "$work/rpm.log"; exit 1; }
[ -e "$work/root/var/lib/vexoflash/image.bin" ] && [ ! -e "$work/root/usr/sbin/vexoflash" ] ||
  { echo "FAIL: rpm -e did not keep the working directory, or kept the program" >&2; exit 1; }
echo "RPM checks passed"
