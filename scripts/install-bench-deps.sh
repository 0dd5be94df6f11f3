#!/usr/bin/env bash
# Installs what only transfer_bench's comparison needs: the OpenSSH server and client (a
# throwaway sshd that the benchmark starts and stops itself) and ping (the shaped link's
# round-trip check). Idempotent: only missing packages are installed, after a single
# apt-get update. The package's own service is never started: the benchmark neither needs
# nor uses a system sshd.
set -euo pipefail

packages=(openssh-server openssh-client iputils-ping)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# A policy that forbids starting services while the packages install, unless one is there.
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  own_policy=1
fi
remove_policy() {
  if [ "$own_policy" -eq 1 ]; then $SUDO rm -f "$policy"; fi
}
trap remove_policy EXIT

echo "Installing: ${missing[*]}"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
