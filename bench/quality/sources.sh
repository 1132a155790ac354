#!/usr/bin/env bash
# Prints the source photographs of the benchmark card, one per line, with "--people" before the
# photos of people. Installs the Debian packages that ship them (and findimagedupes, the
# baseline) when missing, and fetches the npm package with the group photos into a cache.
#   sources.sh [--heldout]
# --heldout: landscapes from another package (lxqt-themes), none of them on the other cards,
# for a card that the analysis was never tuned on.
set -euo pipefail
heldout=0
[[ "${1:-}" == --heldout ]] && heldout=1

packages=(plasma-workspace-wallpapers mate-backgrounds lomiri-wallpapers findimagedupes)
((heldout)) && packages=(lxqt-themes findimagedupes)
need=()
for p in "${packages[@]}"; do
  [[ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" == "install ok installed" ]] || need+=("$p")
done
if ((${#need[@]})); then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  echo "sources: installing ${need[*]}" >&2
  $sudo apt-get install -y --no-install-recommends "${need[@]}" >&2 ||
    { $sudo apt-get update -qq && $sudo apt-get install -y --no-install-recommends "${need[@]}" >&2; }
fi

# The demo photos of @vladmandic/face-api (MIT): reuse the tarball setup fetched, else fetch it.
faceapi=face-api-1.7.15
cache="${XDG_CACHE_HOME:-$HOME/.cache}/mendral-card"
people="$cache/$faceapi"
if [[ ! -f "$people/sample6.jpg" ]]; then
  mkdir -p "$people"
  tgz="${XDG_CACHE_HOME:-$HOME/.cache}/mendral-models/vladmandic-face-api-1.7.15.tgz"
  if [[ ! -f "$tgz" ]]; then
    tgz="$cache/vladmandic-face-api-1.7.15.tgz"
    [[ -f "$tgz" ]] || (cd "$cache" && npm pack --silent @vladmandic/face-api@1.7.15 >/dev/null)
  fi
  for i in 1 2 3 4 5 6; do
    tar -xzf "$tgz" -C "$people" --strip-components=2 "package/demo/sample$i.jpg"
  done
  tar -xzf "$tgz" -O package/LICENSE >"$people/LICENSE"
fi

# The only photos of people in a package here are these six, so the held-out card uses them too,
# with its own seed: other crops, blur and exposure, and other scenes around them.
if ((heldout)); then
  # Photographs only; the logos, origami and triangles are left out.
  for w in Butterfly-Kenneth-Wimer.jpg after-the-rain.jpg fog.jpg this-is-not-windows.jpg \
           Valendas.png appleflower.png beam.png butterfly.png cloud.png drop.png flowers.png; do
    f=/usr/share/lxqt/wallpapers/$w
    [[ -f "$f" ]] && echo "$f"
  done
  echo --people
  for i in 1 2 3 4 5 6; do echo "$people/sample$i.jpg"; done
  exit 0
fi

# Photographs only: the rendered and abstract wallpapers of these packages are left out.
plasma=(BytheWater ColdRipple ColorfulCups DarkestHour EveningGlow FallenLeaf Grey Kite
        OneStandsOut Path summer_1am)
mate=(Aqua Blinds Dune FreshFlower Garden GreenMeadow LadyBird RainDrops Storm TwoWings Wood
      YellowFlower)
lomiri=(Bridge_by_Sander_Klootwijk Dragonfly_by_Bolly Infinite-Sea_by_Aury88
        Kleiber_by_Lukas_Baubkus Picture_0B_by_freespace Picture_1A_by_freespace
        Wine_by_Jakkub_Mede aitzgorri_by_Aitzol_Berasategi analogpattern_by_Peter_Nerlich
        free_by_Peter_Nerlich friends_by_Aitzol_Berasategi greentock_by_Peter_Nerlich
        life_by_Aitzol_Berasategi picosdeeuropa_by_Aitzol_Berasategi
        seeding_by_Clements_Engelhardt sunset_by_Aitzol_Berasategi)
for w in "${plasma[@]}"; do
  # The largest size each wallpaper ships.
  f=$(ls -S /usr/share/wallpapers/"$w"/contents/images/* 2>/dev/null | head -1 || true)
  [[ -n "$f" ]] && echo "$f"
done
for w in "${mate[@]}"; do
  f=/usr/share/backgrounds/mate/nature/$w.jpg
  [[ -f "$f" ]] && echo "$f"
done
for w in "${lomiri[@]}"; do
  f=/usr/share/backgrounds/$w.jpg
  [[ -f "$f" ]] && echo "$f"
done
echo --people
for i in 1 2 3 4 5 6; do echo "$people/sample$i.jpg"; done
