#!/bin/sh
# Builds the libFuzzer targets (fuzz preset, clang) and runs each one in
# turn for SECONDS (60 by default) from its seed corpus, with 256 MiB
# memory limits (1 GiB resident for the whole-index target, whose corpus
# libFuzzer holds in memory) and a 1 s limit per input. Prints a table of
# executions and findings per target; exits 1 when any target found
# something (the inputs are kept in build/fuzz/findings/TARGET/).
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
# JOBS: build parallelism (2); FUZZ_PARALLEL: targets run at once (1).
set -eu
cd "$(dirname "$0")/.."
SECONDS_EACH="${1:-60}"
[ $# -gt 0 ] && shift
TARGETS="${*:-CUXmlDomDocumentFuzz MxfHeaderFuzz ClipMetaDataFuzz CIFStreamFuzz MIFStreamFuzz MXFStreamFuzz MovieClipFuzz BundlePropertyListFuzz MhlReaderFuzz CatalogFileFuzz CommandOutputReadingFuzz OffloadJournalFuzz ThumbnailPictureFuzz}"
BUILD=build/fuzz

cmake --preset fuzz >/dev/null
# shellcheck disable=SC2086
cmake --build "$BUILD" -j "${JOBS:-2}" --target $TARGETS

# libFuzzer's own limits do the checking; the sanitizers' leak check runs at
# each target's exit. A small quarantine keeps AddressSanitizer's own memory
# (freed blocks held back to catch late uses) from counting as the target's
# against the 256 MiB limit. intercept_tls_get_addr=0: see .ci/run.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=16:intercept_tls_get_addr=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
TMPDIR="$(mktemp -d)"
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT

TABLE="$BUILD/fuzz-table.txt"
printf '%-24s %12s %9s %8s\n' target executions findings seconds >"$TABLE"
# Runs one target; its table row goes to ROWS/TARGET.
run_target() {
    target="$1"
    work="$BUILD/work/$target"
    findings="$BUILD/findings/$target"
    mkdir -p "$work" "$findings"
    extra=""
    case "$target" in Mxf* | MXF* | Movie*) extra="-dict=fuzz/mxf.dict" ;; esac
    # A whole media index image is 0x274600 bytes, beyond libFuzzer's 1 MiB
    # default; libFuzzer keeps its corpus of such images in memory, so its
    # resident size may grow past 256 MiB (no single allocation may).
    rss=256
    if [ "$target" = MIFStreamFuzz ]; then
        extra="-max_len=2573824"
        rss=1024
    fi
    # Each input opens two MPEG-2 decoders whose frame pools (megabytes each)
    # the address sanitizer's quarantine keeps after they are freed, so the
    # resident size grows past 256 MiB with no leak; no single allocation may
    # still pass 256 MiB.
    if [ "$target" = ThumbnailPictureFuzz ]; then
        rss=1024
    fi
    log="$BUILD/findings/$target.log"
    start=$(date +%s)
    # shellcheck disable=SC2086
    "$BUILD/fuzz/$target" "$work" "$BUILD/fuzz/corpus/$target" $extra \
        -max_total_time="$SECONDS_EACH" -rss_limit_mb="$rss" -malloc_limit_mb=256 -timeout=1 \
        -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1 || true
    elapsed=$(( $(date +%s) - start ))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    [ -n "$runs" ] || runs=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -n 1)
    count=$(find "$findings" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
        -o -name 'oom-*' -o -name 'slow-unit-*' \) | wc -l)
    printf '%-24s %12s %9s %8s\n' "$target" "${runs:-0}" "$count" "$elapsed" >"$ROWS/$target"
}

# FUZZ_PARALLEL targets run side by side (1 by default), in batches.
ROWS="$TMPDIR/rows"
mkdir -p "$ROWS"
running=0
for target in $TARGETS; do
    run_target "$target" &
    running=$((running + 1))
    if [ "$running" -ge "${FUZZ_PARALLEL:-1}" ]; then
        wait
        running=0
    fi
done
wait
FAILED=0
for target in $TARGETS; do
    cat "$ROWS/$target" >>"$TABLE"
    [ "$(awk '{ print $3 }' "$ROWS/$target")" -eq 0 ] || FAILED=1
done
cat "$TABLE"
exit "$FAILED"
