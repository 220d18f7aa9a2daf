#!/usr/bin/env bash
# Load time of the binary haplotype file against the text one of the same
# panel (both written by snp-convert panel --binary), in one process,
# alternating.
#
#   bench/panel_load.sh PANEL.vcf [BUILD_DIR] [WORK_DIR]
#
# ROUNDS=5 loads of each file; the best of each is compared.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
die() { echo "panel_load.sh: $*" >&2; exit 1; }
[ $# -ge 1 ] || die "usage: panel_load.sh PANEL.vcf [BUILD_DIR] [WORK_DIR]"
vcf=$1
build_dir=$(cd "${2:-$repo/build}" 2>/dev/null && pwd) || die "build directory not found"
work_dir=${3:-${TMPDIR:-/tmp}/snp-panel-load-bench}
mkdir -p "$work_dir"
libs=()
for lib in snp_core snp_panel_file snp_numeric snp_parameters snp_base; do libs+=("$build_dir/lib$lib.a"); done
g++ -O2 -std=c++20 -I"$repo/src" -o "$work_dir/panel_load" "$here/panel_load.cpp" "${libs[@]}" "${libs[@]}" -lhts -pthread \
    || die "cannot build panel_load.cpp against $build_dir"
"$build_dir/snp-convert" panel --vcf "$vcf" --out "$work_dir" --binary >/dev/null
markers=$(($(wc -l <"$work_dir/hapmap.map") - 1))
haplotypes=$(wc -l <"$work_dir/hapmap.hap")
echo "panel: $haplotypes haplotypes, $markers markers; text $(du -h "$work_dir/hapmap.hap" | cut -f1), binary $(du -h "$work_dir/hapmap.bin" | cut -f1)"
echo "load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs"
"$work_dir/panel_load" "$work_dir/hapmap.hap" "$work_dir/hapmap.bin" "$markers" "$haplotypes" "${ROUNDS:-5}"
