#!/bin/sh
# Installs the Debian 12 packages qzcard needs, when some are missing and we
# run as root. Without root it only names what is missing. ffmpeg, python3,
# binutils (nm), xxhash (xxhsum), coreutils (md5sum, sha1sum) and
# libxml2-utils (xmllint, the ASC MHL schema checks), chromium (the report
# page loaded headless), sqlite3 and postgresql (the server the catalog tests
# start, and psql) are peers of the tests, never used by qzcard itself
# (which links libsqlite3 and libpq; libblkid reads a volume's UUID). pandoc
# makes the manual pages from docs/ (the build leaves them out without it);
# dpkg-dev (dpkg-shlibdeps) and file find the Debian package's dependencies.
set -eu
PACKAGES="cmake ninja-build g++ pkg-config libicu-dev libxml2-dev uuid-dev libgtest-dev libgmock-dev
          libbenchmark-dev libcli11-dev nlohmann-json3-dev libxxhash-dev libssl-dev libavformat-dev libavcodec-dev
          libswscale-dev libavfilter-dev libavutil-dev libmstch-dev ffmpeg mediainfo fonts-dejavu-core binutils python3 xxhash coreutils libxml2-utils e2fsprogs
          chromium libsqlite3-dev libpq-dev libblkid-dev sqlite3 postgresql util-linux pandoc dpkg-dev file"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = 0 ]; then
    echo "qzcard: installing$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing
else
    echo "qzcard: missing Debian packages:$missing (run as root to install them)" >&2
    exit 1
fi
