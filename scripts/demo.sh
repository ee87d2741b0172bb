#!/bin/sh
# Installs what is missing, builds qzcard and the plug-in bundle, writes the
# built-in sample card, lists its clips, exports one clip through the bundle
# into one MOV and shows what ffprobe reads of it (it plays in ffplay or mpv),
# then writes the card's report and prints the page's path.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)" --target qzcard FBCFormatRADPlugin
CARD="${1:-build/sample-card}"
OUT="${2:-build/sample-export}"
REPORT="${3:-build/sample-report}"
rm -rf "$CARD" "$OUT" "$REPORT"
build/dev/tools/qzcard/qzcard sample-card "$CARD"
build/dev/tools/qzcard/qzcard list "$CARD"
build/dev/tools/qzcard/qzcard export "$CARD" QZ0001 -o "$OUT"
ffprobe -v error -show_entries stream=codec_type,codec_tag_string,width,height,r_frame_rate,sample_rate \
    -show_entries stream_tags=timecode -show_entries format=duration -of compact "$OUT"/QZ0001.mov
build/dev/tools/qzcard/qzcard report "$CARD" -o "$REPORT" --check >/dev/null
echo "report: $(cd "$REPORT" && pwd)/index.html"
