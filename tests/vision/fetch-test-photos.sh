#!/usr/bin/env bash
# Puts the real photos that the face tests and the analysis benchmark use into
# $MENDRAL_TEST_PHOTOS (default: ~/.cache/mendral/test-photos). Nothing is committed: the photos
# come from packages. faces/: group photos from the npm package @vladmandic/face-api (MIT) and
# the astronaut portrait of Debian's python3-skimage; landscapes/: Debian's mate-backgrounds.
# Idempotent; the tests skip what is missing.
set -euo pipefail

dest=${MENDRAL_TEST_PHOTOS:-${XDG_CACHE_HOME:-$HOME/.cache}/mendral/test-photos}
mkdir -p "$dest/faces" "$dest/landscapes"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

if [[ ! -f "$dest/faces/sample6.jpg" ]]; then
  # scripts/setup keeps the package's tarball with the models; fetch it only when it is not there.
  tgz=${XDG_CACHE_HOME:-$HOME/.cache}/mendral-models/vladmandic-face-api-1.7.15.tgz
  if [[ ! -f "$tgz" ]]; then
    (cd "$work" && npm pack --silent @vladmandic/face-api@1.7.15 >/dev/null)
    tgz="$work"/vladmandic-face-api-1.7.15.tgz
  fi
  tar -xzf "$tgz" -C "$work"
  cp "$work"/package/demo/sample[1-6].jpg "$dest/faces/"
fi

if [[ ! -f "$dest/faces/astronaut.png" || ! -f "$dest/landscapes/Wood.jpg" ]]; then
  # Only the files are wanted, not the packages' dependencies: download and unpack.
  (cd "$work" && apt-get download python3-skimage mate-backgrounds >/dev/null 2>&1) || {
    echo "fetch-test-photos: apt-get download failed (run apt-get update first?)" >&2
    exit 1
  }
  for deb in "$work"/*.deb; do dpkg-deb -x "$deb" "$work/root"; done
  cp "$work"/root/usr/lib/python3/dist-packages/skimage/data/astronaut.png "$dest/faces/"
  cp "$work"/root/usr/share/backgrounds/mate/nature/*.jpg "$dest/landscapes/"
fi
echo "$dest"
