#!/usr/bin/env bash
# Makes the Debian package of a build tree, unpacks it into a scratch root with dpkg -x and
# runs the unpacked mendral-cli on a photo with a fresh HOME, a clean environment and no data
# folder but the package's own: the installed program must find its models beside itself.
#   check-deb.sh BUILD_DIR [CPACK] [PHOTO]
# Exit 77 (skipped) when there is no photo to analyse.
set -euo pipefail

build=$(cd "$1" && pwd)
cpack=${2:-cpack}
photos=${MENDRAL_TEST_PHOTOS:-${XDG_CACHE_HOME:-$HOME/.cache}/mendral/test-photos}
photo=${3:-$photos/faces/sample1.jpg}
if [[ ! -f "$photo" ]]; then
  echo "check-deb: no photo at $photo (scripts/setup fetches it); skipped"
  exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-deb: $*" >&2; exit 1; }

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  fail "cpack failed"
fi
debs=("$scratch"/out/*.deb)
[[ -f "${debs[0]}" ]] || fail "cpack made no .deb"
deb=${debs[0]}
echo "check-deb: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB, Installed-Size $(dpkg-deb -f "$deb" Installed-Size) KiB"

# Dependencies: the linked libraries (worked out by dpkg-shlibdeps) and the declared ones.
depends=$(dpkg-deb -f "$deb" Depends)
echo "check-deb: Depends: $depends"
for needed in libqt6core6 libqt6widgets6 libopencv-dnn qt6-translations-l10n libdlib-data; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed"
done

root="$scratch/root"
dpkg -x "$deb" "$root"
for file in usr/bin/mendral usr/bin/mendral-cli usr/share/applications/mendral.desktop \
            usr/share/icons/hicolor/scalable/apps/mendral.svg usr/share/mendral/icons/chevron-left.svg \
            usr/share/mendral/icons/LICENSE usr/share/mendral/models/centernet.json \
            usr/share/mendral/models/face_recognition_model.bin usr/share/mendral/models/LICENSE.face-api \
            usr/share/mendral/models/LICENSE.human-models; do
  [[ -f "$root/$file" ]] || fail "the package lacks /$file"
done
# Every drawing the window's symbol table names is in the package (the icons test, pointed at it).
icons_test="$build/tests/ui_window_test"
if [[ -x "$icons_test" ]]; then
  QT_QPA_PLATFORM=offscreen MENDRAL_ICONS="$root/usr/share/mendral/icons" \
    "$icons_test" --gtest_filter=Icons.InstalledSetHasEveryDrawingAndTintsIt >"$scratch/icons.log" 2>&1 &&
    grep -q '^\[  PASSED  \] 1 test' "$scratch/icons.log" ||
    { cat "$scratch/icons.log" >&2; fail "the package lacks drawings of the symbol table"; }
fi
# Linked against the system's libraries only: nothing may point back into the build tree.
if readelf -d "$root/usr/bin/mendral-cli" "$root/usr/bin/mendral" | grep -E 'R(UN)?PATH' | grep -q .; then
  fail "installed programs carry a library path: $(readelf -d "$root/usr/bin/mendral-cli" | grep -E 'R(UN)?PATH')"
fi

mkdir -p "$scratch/home"
env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$scratch/home" XDG_DATA_DIRS="$scratch/no-data" \
  "$root/usr/bin/mendral-cli" analyze "$photo" >"$scratch/analysis.json" 2>"$scratch/stderr" ||
  { cat "$scratch/stderr" >&2; fail "the installed mendral-cli analyze failed"; }
if [[ -s "$scratch/stderr" ]]; then
  cat "$scratch/stderr" >&2
  fail "the installed mendral-cli complained"
fi
python3 - "$scratch/analysis.json" <<'PY'
import json, sys
a = json.load(open(sys.argv[1]))["files"][0]["analysis"]
scene = len(a["featurePrint"] or [])
print(f"check-deb: installed mendral-cli, fresh HOME: scene print {scene} values, "
      f"{a['faceCount']} faces, {len(a['facePrints'])} face prints, {a['humanCount']} people")
if scene == 0 or not a["facePrints"]:
    sys.exit("check-deb: the installed program analysed without its models")
PY
