#!/usr/bin/env bash
# Runs the reader fuzz target: first every kept crash input once, then
# SECONDS of fuzzing from seeds made of fresh images. Fails on any finding,
# which stays in fuzz-findings/ of the working folder.
# Usage: run_fuzz.sh FUZZER PARUMERO-CLI SECONDS
set -euo pipefail
fuzzer=$1 cli=$2 seconds=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/parumero-fuzz-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" fuzz-findings
/usr/bin/python3 "$here/make_seeds.py" "$cli" "$work/seeds"
fixtures=("$here"/crashes/*)
if [ -e "${fixtures[0]}" ]; then "$fuzzer" "${fixtures[@]}"; fi
"$fuzzer" -max_total_time="$seconds" -max_len=131072 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$PWD/fuzz-findings/" "$work/corpus" "$work/seeds"
