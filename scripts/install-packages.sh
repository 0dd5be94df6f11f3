#!/usr/bin/env bash
# Installs the named Debian packages that are not installed yet, after a single apt-get
# update and without recommended packages; nothing at all when every one is there.
#   scripts/install-packages.sh [--no-service-start] PACKAGE...
# --no-service-start: no service the packages bring is started while they install (a
# policy-rc.d that forbids it, unless the system has one of its own).
set -euo pipefail

no_service_start=0
if [ "${1:-}" = "--no-service-start" ]; then
  no_service_start=1
  shift
fi

missing=()
for p in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ "$no_service_start" -eq 1 ]; then
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
fi

echo "Installing: ${missing[*]}"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
