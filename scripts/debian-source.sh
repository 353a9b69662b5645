#!/bin/sh
# Fetches and unpacks Debian's source of one package version: debian-source.sh PACKAGE VERSION
# DEST. Apt gets a private list and state folder in the cache, so that nothing under /etc
# changes. DEST is left alone when an earlier run unpacked it.
set -eu
package=$1 version=$2 dest=$3
[ -f "$dest/.unpacked" ] && exit 0
apt=${XDG_CACHE_HOME:-$HOME/.cache}/brindlehof/apt
mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    > "$apt/sources.list.d/debian-src.sources"
opts="-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts=$apt/sources.list.d
      -o Dir::State::Lists=$apt/lists -o Dir::Cache=$apt/cache -o APT::Sandbox::User=root"
download=$apt/download/$package
rm -rf "$download" && mkdir -p "$download"
echo "debian-source: fetching the source of $package $version" >&2
# shellcheck disable=SC2086
apt-get $opts -q update >&2
# shellcheck disable=SC2086
(cd "$download" && apt-get $opts -q source --download-only "$package=$version" >&2)
rm -rf "$dest"
dpkg-source --no-check -x "$download/${package}_"*.dsc "$dest" >&2
touch "$dest/.unpacked"
