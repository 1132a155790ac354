#!/usr/bin/env bash
# Runs the rendition benchmark. Usage: bench/renditions/run.sh BUILD_DIR [WORK_DIR]
# vipsthumbnail (Debian libvips-tools) is the baseline; it is installed here when missing,
# as only this benchmark needs it.
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [WORK_DIR]}
if ! command -v vipsthumbnail >/dev/null 2>&1; then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get install -y --no-install-recommends libvips-tools >&2 ||
    { $sudo apt-get update -qq && $sudo apt-get install -y --no-install-recommends libvips-tools >&2; }
fi
cmake --build "$build" --target bench_renditions >&2
exec "$build/bench/bench_renditions" "${@:2}"
