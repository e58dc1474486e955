#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are not
# installed yet (with apt-get, through sudo when not root). The package lists
# are fetched again only when none is younger than an hour, so that
# scripts/test.sh, which installs after scripts/setup.sh, does not fetch them
# twice; an install that fails on old lists is tried once more after fetching.
# Usage: scripts/apt-install.sh PACKAGE...
set -euo pipefail
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
if [ -z "$(find /var/lib/apt/lists -maxdepth 1 -name '*Packages*' -mmin -60 2>/dev/null | head -n 1)" ]; then
  $sudo apt-get update -qq
  install
else
  install || { $sudo apt-get update -qq && install; }
fi
