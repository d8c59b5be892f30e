#!/usr/bin/env bash
# The manual page renders without warnings and names every outcome; the
# links between the documents resolve; the install and the Debian package
# of the release build hold what an operator needs and nothing else, the
# Debian-only files and the working directory /var/lib/vexoflash (root's,
# 0700) in the package alone; its program needs no shared C++ runtime and
# prints its usage (the RPM holds the same program, 42-rpm.sh); its postrm
# removes /var/lib/vexoflash on purge only; lintian finds no error in the
# package, and no hardening tag (PIE, RELRO, BIND_NOW, fortified calls)
# even among its informational ones (-I).
set -euo pipefail
. scripts/prereqs.sh
need_build_tools
need groff groff-base
need lintian lintian
need dpkg-shlibdeps dpkg-dev
need file file
install_needed

build=build/release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "--- manual page: groff -t -man -ww -z"
groff -t -man -ww -z docs/vexoflash.8 >"$work/groff.log" 2>&1 || true
if [ -s "$work/groff.log" ]; then
  cat "$work/groff.log"
  echo "FAIL: the manual page renders with warnings" >&2
  exit 1
fi

echo "--- manual page: every outcome message and exit status"
# Rendered without hyphenation on one very long line, spaces squeezed.
groff -t -man -rHY=0 -rLL=2000n -Tutf8 -P-cbou docs/vexoflash.8 2>/dev/null |
  tr -s ' \n' ' ' >"$work/page.txt"
missing=0
while IFS= read -r text; do
  [ -n "$text" ] || continue
  if ! grep -qF -- "$text" "$work/page.txt"; then
    echo "missing from the manual page: $text" >&2
    missing=1
  fi
done <<'MESSAGES'
USAGE: vexoflash <bootloader register address> <image 1 file> <image 2 file>
is too long for the tool command!
ERROR: The working directory is writable by other users!
ERROR: Another vexoflash run is using this directory!
ERROR: busscan.out is not a regular file!
ERROR: Cannot use the host lock /run/vexoflash.lock:
not a private file of root
Bootloader register address
Image 1 file name
Image 2 file name
ERROR: Could not open image file!
Vexo3 device not found.
Vexo found and firmware updated.
No Vexos found in the system.
Firmware was not flashed.
Vexo firmware update error - Vexo found but update failed.
Vexo Silicon ID Error – Vexo found but the silicon ID didn’t match file.
Vexo Found and Firmware level is up-to-date. No flashing required.
The VEXO update did not complete successfully.
The VEXO update did not complete successfully. Return code:
DC power cycle the system for the update to take effect.
AC power cycle the system for the update to take affect.
busscan.out
flash.out
DEBUG
255
MESSAGES
sed 's/.* EXIT STATUS \(.*\) DIAGNOSTICS .*/ \1 /' "$work/page.txt" >"$work/exit.txt"
for code in 0 1 2 111 171; do
  grep -qE " $code [A-Z]" "$work/exit.txt" ||
    { echo "exit status $code is not described" >&2; missing=1; }
done
[ "$missing" -eq 0 ] || { echo "FAIL: the manual page is incomplete" >&2; exit 1; }

echo "--- documents: every relative link names a file, and a heading there"
# Headings as anchors the way Markdown viewers make them: lower case,
# punctuation dropped, spaces as hyphens.
for doc in README.md docs/*.md; do
  grep -o '\]([^)]*)' "$doc" | sed 's/^](//; s/)$//' | grep -v '^[a-z]*:' |
    while IFS= read -r link; do
      file=${link%%#*} anchor=${link#*#}
      target=$doc
      [ -z "$file" ] || target=$(dirname "$doc")/$file
      [ "$anchor" != "$link" ] || anchor=""
      if [ ! -e "$target" ]; then
        echo "$doc: $link: no file $target"
      elif [ -n "$anchor" ] && ! sed -n 's/^#\{1,6\} //p' "$target" | tr 'A-Z' 'a-z' |
        sed 's/[^a-z0-9 _-]//g; s/ /-/g' | grep -qx -- "$anchor"; then
        echo "$doc: $link: no heading #$anchor in $target"
      fi
    done
done >"$work/links.txt"
if [ -s "$work/links.txt" ]; then
  cat "$work/links.txt"
  echo "FAIL: the documents have broken links" >&2
  exit 1
fi

echo "--- cmake --install: the program, its manual page and documents"
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
DESTDIR="$work/root" cmake --install "$build" --prefix /usr/local >/dev/null
(cd "$work/root" && find . -type f | sort) >"$work/installed.txt"
cat >"$work/expected-install.txt" <<'LIST'
./usr/local/sbin/vexoflash
./usr/local/share/doc/vexoflash/README.md
./usr/local/share/doc/vexoflash/copyright
./usr/local/share/man/man8/vexoflash.8.gz
LIST
diff -u "$work/expected-install.txt" "$work/installed.txt"

echo "--- cpack -G DEB"
rm -f "$build"/vexoflash_*.deb
(cd "$build" && cpack -G DEB >/dev/null 2>&1) || (cd "$build" && cpack -G DEB)
deb=$(ls "$build"/vexoflash_*.deb)
echo "$deb"
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' | sort -k3 >"$work/contents.txt"
cat >"$work/expected-contents.txt" <<'LIST'
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/sbin/
-rwxr-xr-x root/root ./usr/sbin/vexoflash
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/vexoflash/
-rw-r--r-- root/root ./usr/share/doc/vexoflash/README.md
-rw-r--r-- root/root ./usr/share/doc/vexoflash/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/vexoflash/copyright
drwxr-xr-x root/root ./usr/share/lintian/
drwxr-xr-x root/root ./usr/share/lintian/overrides/
-rw-r--r-- root/root ./usr/share/lintian/overrides/vexoflash
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man8/
-rw-r--r-- root/root ./usr/share/man/man8/vexoflash.8.gz
drwxr-xr-x root/root ./var/
drwxr-xr-x root/root ./var/lib/
drwx------ root/root ./var/lib/vexoflash/
LIST
diff -u "$work/expected-contents.txt" "$work/contents.txt"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# The release build links the C++ runtime statically (a shorter start), so
# the C library is all it needs from the system.
case "$depends" in
*libstdc++* | *libgcc*)
  echo "FAIL: the packaged program needs the shared C++ runtime" >&2
  exit 1
  ;;
*libc6*) ;;
*) echo "FAIL: the package's dependencies do not come from shlibdeps" >&2; exit 1 ;;
esac

echo "--- the packaged program runs"
dpkg-deb -x "$deb" "$work/deb"
status=0
(cd "$work" && "$work/deb/usr/sbin/vexoflash" >"$work/usage.txt") || status=$?
[ "$status" -eq 111 ] && grep -q '^USAGE: vexoflash ' "$work/usage.txt" ||
  { echo "FAIL: the packaged vexoflash did not print its usage (status $status)" >&2; exit 1; }
zcat "$work/deb/usr/share/man/man8/vexoflash.8.gz" | cmp - docs/vexoflash.8

echo "--- postrm: remove keeps /var/lib/vexoflash, purge removes it"
dpkg-deb -e "$deb" "$work/control"
[ "$(stat -c %a "$work/control/postrm")" = 755 ] || { echo "FAIL: no executable postrm" >&2; exit 1; }
# Run over a /var/lib of its own, in a mount namespace of its own.
unshare -m --propagation private sh -ec 'mount -t tmpfs tmpfs /var/lib
  mkdir -m 0700 /var/lib/vexoflash && touch /var/lib/vexoflash/image.bin
  "$1" remove && [ -e /var/lib/vexoflash/image.bin ] && "$1" purge && [ ! -e /var/lib/vexoflash ]' \
  postrm "$work/control/postrm" || { echo "FAIL: the postrm keeps or removes the wrong things" >&2; exit 1; }

echo "--- lintian -I"
lintian -I --fail-on error "$deb" | tee "$work/lintian.txt"
if grep -q ' hardening-' "$work/lintian.txt"; then
  echo "FAIL: the packaged program lacks hardening (cmake/Hardening.cmake)" >&2
  exit 1
fi
echo "package checks passed"
