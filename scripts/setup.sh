#!/bin/sh
# Installs the Debian packages the project needs that this machine lacks: those of packages.txt,
# or of the list given. As root it installs them; otherwise it prints the one command to run and
# fails.
set -eu
list=${1:-$(dirname "$0")/packages.txt}
wanted=$(grep -v '^#' "$list" | tr '\n' ' ')
missing=""
for package in $wanted; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Run this, then try again:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $missing
