#!/usr/bin/env bash
# Makes a benchmark card with its ground truth (DIR.truth.json):
#   bench/quality/card.sh small|large|heldout DIR [MAKE_CARD]
# small: 12 scenes (ten landscapes, two people) at 1600 px, about 50 photos, under a minute;
# large: every source photograph on two days at 4000 x 3000 (12 MP; MENDRAL_CARD_LONG_SIDE=6000
# gives 24 MP), about 360 photos, ten minutes or so on two cores;
# heldout: other landscapes (sources.sh --heldout) with another seed, on two days at the large
# card's size, about 140 photos: figures the analysis was not tuned on.
set -euo pipefail
size=${1:?usage: card.sh small|large|heldout DIR [MAKE_CARD]}
dir=${2:?usage: card.sh small|large|heldout DIR [MAKE_CARD]}
make_card=${3:-make-card}
here=$(cd "$(dirname "$0")" && pwd)
if [[ $size == heldout ]]; then
  mapfile -t sources < <("$here/sources.sh" --heldout)
else
  mapfile -t sources < <("$here/sources.sh")
fi
case $size in
  small) exec "$make_card" "$dir" --long-side 1600 --scenes 12 "${sources[@]:0:10}" --people \
           "${sources[@]: -6:2}" ;;
  large) exec "$make_card" "$dir" --long-side "${MENDRAL_CARD_LONG_SIDE:-4000}" --days 2 "${sources[@]}" ;;
  heldout) exec "$make_card" "$dir" --long-side "${MENDRAL_CARD_LONG_SIDE:-4000}" --days 2 --seed 7 \
             "${sources[@]}" ;;
  *) echo "card.sh: size is small, large or heldout" >&2; exit 2 ;;
esac
