#!/usr/bin/env bash
# Installs what only transfer_bench's comparison needs: the OpenSSH server and client (a
# throwaway sshd that the benchmark starts and stops itself) and ping (the shaped link's
# round-trip check). Idempotent: only missing packages are installed, after a single
# apt-get update. The package's own service is never started: the benchmark neither needs
# nor uses a system sshd.
set -euo pipefail

packages=(openssh-server openssh-client iputils-ping)

exec "$(dirname "$0")/install-packages.sh" --no-service-start "${packages[@]}"
