#!/usr/bin/env bash
# Installs the Debian packages listed in tools/packages.txt that are missing.
# Runs as root (or through sudo when it is available); does nothing when all are present.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

mapfile -t wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$here/packages.txt" | grep -v '^$')
missing=()
for pkg in "${wanted[@]}"; do
  status="$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)"
  [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done

if ((${#missing[@]} == 0)); then
  echo "setup: all ${#wanted[@]} packages present"
  exit 0
fi

echo "setup: installing ${#missing[@]} missing packages: ${missing[*]}"
sudo_cmd=()
if [[ "$(id -u)" != 0 ]]; then
  if command -v sudo >/dev/null; then
    sudo_cmd=(sudo)
  else
    echo "setup: cannot install ${missing[*]}: run this script as root (no sudo found)" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
if ! "${sudo_cmd[@]}" apt-get update -qq; then
  echo "setup: 'apt-get update' failed; check the network and the package sources" >&2
  exit 1
fi
if ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/setup-apt.log 2>&1; then
  tail -20 /tmp/setup-apt.log >&2
  echo "setup: could not install: ${missing[*]} (full log: /tmp/setup-apt.log)" >&2
  exit 1
fi
echo "setup: done"
