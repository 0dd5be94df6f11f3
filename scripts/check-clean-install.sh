#!/usr/bin/env bash
# The README's promises, checked on fresh minimal Debian 12 systems. Run by hand, as root; it
# takes about half an hour and downloads a few hundred MB from the machine's package mirror.
#
#   scripts/check-clean-install.sh [WORK_FOLDER [PACKAGE.deb]]
#                                    (default /var/tmp/vantrel-clean-install)
#
# 1. Makes a minimal bookworm root (debootstrap --variant=minbase), copies this checkout into
#    it (tracked and new files, as they are now) and runs the README's test command there.
# 2. Builds the package in that root and runs lintian --pedantic on it.
# 3. Installs the package into a second fresh root as a user would (apt, with and without
#    recommended packages, counted first), then runs `vantrel --version`, a copy without a
#    display with an auto-receive rule, and `vantrel --send` of a file and a folder to it,
#    and asks GIO which program opens folders and unknown files.
# Everything it prints is also written to WORK_FOLDER/report.txt. Given a package, it skips
# steps 1 and 2 and checks that package.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  echo "check-clean-install: needs root (debootstrap, chroot, mounts)" >&2
  exit 1
fi
for tool in debootstrap chroot git; do
  command -v "$tool" >/dev/null || { echo "check-clean-install: $tool is missing" >&2; exit 1; }
done

source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/var/tmp/vantrel-clean-install}
given_package=${2:+$(realpath "$2")}
report=$work/report.txt
mkdir -p "$work"
: >"$report"
say() { printf '%s\n' "$*" | tee -a "$report"; }

# The machine's configured Debian mirror (deb822 sources first, then the one-line form).
mirror=$(grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}' |
         grep -v security | head -n1 || true)
if [ -z "$mirror" ]; then
  mirror=$(grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
           awk '{print $2}' | grep -v security | head -n1 || true)
fi
mirror=${mirror:-http://deb.debian.org/debian}

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -l "${mounted[$i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT

# A fresh root with the machine's package sources (security updates included) and name service.
make_root() {
  local root=$1
  rm -rf "$root"
  debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1
  if ls /etc/apt/sources.list.d/*.sources >/dev/null 2>&1; then
    cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/"
    rm -f "$root/etc/apt/sources.list"
  elif [ -f /etc/apt/sources.list ]; then
    cp /etc/apt/sources.list "$root/etc/apt/sources.list"
  fi
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
  # The root a mount point of its own: `ip netns` marks / as a slave mount, which fails on
  # a plain folder, and the firewall tests would report themselves skipped.
  mount --bind "$root" "$root"
  mounted+=("$root")
  local m
  for m in proc sys dev dev/pts run; do
    mkdir -p "$root/$m"
    case $m in
      proc) mount -t proc proc "$root/proc" ;;
      sys) mount -t sysfs sys "$root/sys" ;;
      dev) mount --bind /dev "$root/dev" ;;
      dev/pts) mount -t devpts devpts "$root/dev/pts" ;;
      run) mount -t tmpfs tmpfs "$root/run" ;;
    esac
    mounted+=("$root/$m")
  done
}

in_root() {
  local root=$1
  shift
  chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM=dumb "$@"
}

say "== Clean install check, $(date -u '+%Y-%m-%d %H:%M UTC') on $(uname -n), mirror $mirror"
say "   checkout: $(git -C "$source_dir" rev-parse --short HEAD)$(git -C "$source_dir" diff --quiet HEAD || echo ' with uncommitted changes')"

test_code=0
if [ -n "$given_package" ]; then
  deb=$given_package
  deb_name=$(basename "$deb")
  say "== the given package $deb_name (the test command and lintian are skipped)"
else
  # 1. The README's test command on a fresh root.
  build_root=$work/build-root
  make_root "$build_root"
  mkdir -p "$build_root/src/vantrel"
  git -C "$source_dir" ls-files -z --cached --others --exclude-standard |
    (cd "$source_dir" && tar --null -T - -cf -) | tar -xf - -C "$build_root/src/vantrel"
  say "== ./scripts/test.sh in a fresh minbase root"
  start=$(date +%s)
  set +e
  in_root "$build_root" /bin/bash -c 'cd /src/vantrel && ./scripts/test.sh' >"$work/test.log" 2>&1
  test_code=$?
  set -e
  grep -E 'tests passed|tests failed|The following tests|^\s+[0-9]+ - ' "$work/test.log" | tee -a "$report" || true
  say "   exit code $test_code after $(( ($(date +%s) - start) / 60 )) min (log: $work/test.log)"

  # 2. The package, and lintian's word on it.
  say "== the package"
  in_root "$build_root" /bin/bash -c 'cd /src/vantrel/build && cpack -G DEB' >"$work/cpack.log" 2>&1
  deb=$(ls "$build_root"/src/vantrel/build/vantrel_*.deb)
  cp "$deb" "$work/"
  deb_name=$(basename "$deb")
  say "   $deb_name, $(du -k "$deb" | cut -f1) KiB"
  in_root "$build_root" /src/vantrel/scripts/install-packages.sh lintian >/dev/null
  say "== lintian --pedantic $deb_name"
  in_root "$build_root" lintian --pedantic --info "/src/vantrel/build/$deb_name" 2>&1 | tee -a "$report" || true
  say "   (end of lintian's output)"
fi

# 3. The package on a second fresh root, as a user installs it.
user_root=$work/user-root
make_root "$user_root"
cp "$deb" "$user_root/root/"
in_root "$user_root" apt-get update -qq
say "== what installing the package pulls"
for recommends in --no-install-recommends --install-recommends; do
  in_root "$user_root" apt-get install --assume-no "$recommends" "/root/$deb_name" \
    >"$work/pull$recommends.log" 2>&1 || true
  say "   $recommends: $(grep -E 'newly installed' "$work/pull$recommends.log"), $(grep -E 'After this operation' "$work/pull$recommends.log")"
  heavy=$(grep -oE '\b(gstreamer[^ ]*|libgst[^ ]*|libav[a-z]*[0-9]+|libva[^ ]*|libqt6multimedia[^ ]*|ffmpeg)\b' \
          "$work/pull$recommends.log" | sort -u | tr '\n' ' ' || true)
  say "   media stack among them: ${heavy:-none}"
done
in_root "$user_root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/root/$deb_name" \
  >"$work/install.log" 2>&1
say "== installed (with recommended packages)"
say "   vantrel --version: $(in_root "$user_root" vantrel --version)"

# A copy without a display on its own profile, an auto-receive rule, and sends to it.
cat >"$user_root/root/check-transfer.sh" <<'CHECK'
#!/bin/bash
set -euo pipefail
export VANTREL_HOME=/root/receiver
mkdir -p /srv/in /root/out/tree/sub
head -c 3000000 /dev/urandom >/root/out/random.bin
for i in $(seq 1 200); do echo "line $i of a text file" >/root/out/tree/sub/t$i.txt; done
head -c 500000 /dev/urandom >/root/out/tree/big.bin
vantrel --install >/dev/null
vantrel --rule-add 127.0.0.1 /srv/in >/dev/null
fingerprint=$(vantrel --print-ca | tr -d ' \n' | grep -oE '[0-9A-F]{64}' | head -n1)
vantrel >/root/receiver.log 2>&1 &
receiver=$!
for _ in $(seq 1 100); do grep -q "Stop it with" /root/receiver.log && break; sleep 0.2; done
export VANTREL_HOME=/root/sender
code=0
vantrel --send 127.0.0.1:12666 /root/out/random.bin --trust-fingerprint "$fingerprint" || code=$?
echo "send of a file: exit $code"
code=0
vantrel --send 127.0.0.1:12666 /root/out/tree || code=$?
echo "send of a folder: exit $code"
for _ in $(seq 1 100); do [ "$(grep -c '^Completed' /root/receiver.log)" -ge 2 ] && break; sleep 0.2; done
cmp /root/out/random.bin /srv/in/random.bin && echo "file: byte-identical"
diff -r /root/out/tree /srv/in/tree && echo "folder: identical"
kill -TERM "$receiver"
wait "$receiver" && echo "the copy without a display ended with exit 0 on SIGTERM"
echo "--- its lines:"
cat /root/receiver.log
CHECK
chmod +x "$user_root/root/check-transfer.sh"
say "== a copy without a display, and vantrel --send to it"
in_root "$user_root" /root/check-transfer.sh 2>&1 | tee -a "$report" || say "   FAILED"

say "== which program opens folders and unknown files (GIO, after installing libglib2.0-bin)"
in_root "$user_root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  libglib2.0-bin shared-mime-info desktop-file-utils >/dev/null 2>&1
in_root "$user_root" update-desktop-database -q /usr/share/applications
for type in inode/directory application/octet-stream; do
  in_root "$user_root" gio mime "$type" 2>&1 | tee -a "$report"
done

say "== user unit"
# man-db too: verify opens the page the unit names as its documentation.
in_root "$user_root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  systemd man-db >/dev/null 2>&1
mkdir -p -m 700 "$user_root/tmp/xdg"
if in_root "$user_root" env XDG_RUNTIME_DIR=/tmp/xdg \
     systemd-analyze --user verify /usr/lib/systemd/user/vantrel.service >>"$report" 2>&1; then
  say "   systemd-analyze --user verify: no complaint"
else
  say "   systemd-analyze --user verify complained (above)"
fi

say "== done; the README's test command exited $test_code"
exit "$test_code"
