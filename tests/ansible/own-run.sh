# shellcheck shell=bash
# Sourced by the fleet checks and the fleet benchmark. write_own_run DEST
# BUILD writes DEST, a vexoflash for local hosts: as root, each run gets a
# /run of its own (a mount namespace), so that runs in one wave do not wait
# for one another through vexoflash's host lock, as runs on real hosts
# would not.
write_own_run() {
  cat >"$1" <<END
#!/bin/sh
if [ "\$(id -u)" -eq 0 ]; then
  exec unshare -m --propagation private sh -c 'mount -t tmpfs -o mode=0755 tmpfs /run && exec "\$0" "\$@"' "$2/vexoflash" "\$@"
fi
exec "$2/vexoflash" "\$@"
END
  chmod +x "$1"
}
