#!/usr/bin/env bash
# Analysis throughput and memory of `mendral-cli cull` on a card, against the card's own
# half-scale JPEG decode measured in the same run (djpeg -scale 1/2, two processes: the least
# any analysis of these files must spend). Prints rows "throughput: FIGURE\tOURS\tBASE\tRATIO".
#   bench/throughput/run.sh CLI CARD [COPIES...]
# COPIES (default "2 8"): the card hard-linked that many times into one folder, for peak memory
# against the card's size (385 photos give 770 and 3,080). Each copy count runs a cold cull.
# The window (mendral beside the CLI) then opens the card cold and is timed from its start to
# the overview of every group with its thumbnails, against the cull's own time.
set -euo pipefail
cli=${1:?usage: run.sh CLI CARD [COPIES...]}
card=${2:?usage: run.sh CLI CARD [COPIES...]}
shift 2
copies=("$@")
((${#copies[@]})) || copies=(2 8)

need=()
for p in libjpeg-turbo-progs time; do
  [[ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" == "install ok installed" ]] || need+=("$p")
done
if ((${#need[@]})); then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  echo "throughput: installing ${need[*]}" >&2
  $sudo apt-get install -y --no-install-recommends "${need[@]}" >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data=${XDG_DATA_HOME:-$HOME/.local/share}
export MENDRAL_MODELS=${MENDRAL_MODELS:-$data/Mendral/models} QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export MENDRAL_ICONS=${MENDRAL_ICONS:-$data/Mendral/icons}

# CPU seconds (user + system) of a command, from GNU time.
cpu_of() { awk -F': ' '/User time|System time/ {s += $2} END {printf "%.3f", s}' "$1"; }
field() { awk -F': ' -v k="$2" '$1 ~ k {print $2}' "$1"; }

mapfile -t jpegs < <(find "$card" -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) | sort)
/usr/bin/time -o "$work/djpeg.time" -f 'User time: %U\nSystem time: %S' \
  bash -c 'printf "%s\0" "$@" | xargs -0 -P2 -n8 sh -c "for f; do djpeg -scale 1/2 -outfile /dev/null \"\$f\"; done" _' _ "${jpegs[@]}"
floor=$(awk -v c="$(cpu_of "$work/djpeg.time")" -v n="${#jpegs[@]}" 'BEGIN {printf "%.1f", 1000 * c / n}')

# One cold cull: fresh settings, cache and decisions.
cull() { # FOLDER NAME
  local home=$work/home-$2
  mkdir -p "$home"
  XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache XDG_CONFIG_HOME=$home/config \
    /usr/bin/time -v -o "$work/$2.time" "$cli" cull "$1" --json >"$work/$2.json"
  python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1]))["photos"]))' "$work/$2.json"
}

photos=$(cull "$card" card)
cpu=$(awk -v c="$(cpu_of "$work/card.time")" -v n="$photos" 'BEGIN {printf "%.1f", 1000 * c / n}')
wall=$(field "$work/card.time" "Elapsed" | awk -F: '{s = 0; for (i = 1; i <= NF; i++) s = 60 * s + $i; print s}')
printf 'throughput: cpu ms per photo (%s photos) vs half-scale decode\t%s\t%s\t%.2f\n' "$photos" "$cpu" "$floor" \
  "$(awk -v a="$cpu" -v b="$floor" 'BEGIN {print a / b}')"
printf 'throughput: photos per second, wall, %s cores\t%.2f\t\t\n' "$(nproc)" \
  "$(awk -v n="$photos" -v w="$wall" 'BEGIN {print n / w}')"
printf 'throughput: peak RSS MB, %s photos\t%.0f\t\t\n' "$photos" \
  "$(awk -v k="$(field "$work/card.time" "Maximum resident")" 'BEGIN {print k / 1024}')"

first=""
for n in "${copies[@]}"; do
  folder=$work/card-x$n
  mkdir -p "$folder"
  for ((k = 0; k < n; k++)); do cp -al "$card" "$folder/$k"; done
  count=$(cull "$folder" "x$n")
  rss=$(awk -v k="$(field "$work/x$n.time" "Maximum resident")" 'BEGIN {printf "%.0f", k / 1024}')
  [[ -n "$first" ]] || first=$rss
  printf 'throughput: peak RSS MB, %s photos (card x%s) vs the first count\t%s\t%s\t%.2f\n' "$count" "$n" "$rss" \
    "$first" "$(awk -v a="$rss" -v b="$first" 'BEGIN {print a / b}')"
  rm -rf "$folder" "$work/home-x$n" "$work/x$n.json"
done

# The window: a cold start on the card until the overview is on screen with its thumbnails
# (the screenshot is taken then), against the cold cull of the same card.
app=$(dirname "$cli")/mendral
if [[ -x "$app" ]]; then
  home=$work/home-window
  mkdir -p "$home"
  XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache XDG_CONFIG_HOME=$home/config \
    /usr/bin/time -v -o "$work/window.time" "$app" --screenshot "$work/window.png" --size 1100x720 "$card" \
    >"$work/window.out" 2>"$work/window.err" || true
  if [[ -s "$work/window.png" ]]; then
    seen=$(field "$work/window.time" "Elapsed" | awk -F: '{s = 0; for (i = 1; i <= NF; i++) s = 60 * s + $i; print s}')
    printf 'throughput: window seconds from start to overview (%s photos) vs cold cull\t%.1f\t%.1f\t%.2f\n' "$photos" \
      "$seen" "$wall" "$(awk -v a="$seen" -v b="$wall" 'BEGIN {print a / b}')"
    printf 'throughput: window peak RSS MB, %s photos vs cold cull\t%.0f\t%.0f\t%.2f\n' "$photos" \
      "$(awk -v k="$(field "$work/window.time" "Maximum resident")" 'BEGIN {print k / 1024}')" \
      "$(awk -v k="$(field "$work/card.time" "Maximum resident")" 'BEGIN {print k / 1024}')" \
      "$(awk -v a="$(field "$work/window.time" "Maximum resident")" -v b="$(field "$work/card.time" "Maximum resident")" 'BEGIN {print a / b}')"
  else
    echo "throughput: the window did not show the card: $(tail -1 "$work/window.err")" >&2
  fi
fi
