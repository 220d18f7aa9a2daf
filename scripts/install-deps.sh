#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, where missing.
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
command -v snakemake >/dev/null || need+=(snakemake)
command -v clang++ >/dev/null || need+=(clang)
compgen -G '/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a' >/dev/null || need+=(libclang-rt-14-dev)
command -v pkg-config >/dev/null || need+=(pkg-config)
[ -f /usr/include/htslib/vcf.h ] || need+=(libhts-dev)
# The regression tests' linear algebra and principal components. (PLINK 2,
# which bench/logistic_vs_plink2.sh compares with, is the bench's own
# concern: apt-get install plink2.)
[ -f /usr/include/eigen3/Eigen/Dense ] || need+=(libeigen3-dev)
[ -f /usr/include/Spectra/SymEigsSolver.h ] || need+=(libspectra-dev)
[ -f /usr/include/zlib.h ] || need+=(zlib1g-dev)
# The study workflow: bcftools joins the imputed VCFs, matplotlib draws the
# report's plots (for the python3 snakemake runs under), and the report's
# test opens the page in a headless Chromium.
command -v bcftools >/dev/null || need+=(bcftools)
/usr/bin/python3 -c 'import matplotlib' 2>/dev/null || need+=(python3-matplotlib)
command -v chromium >/dev/null || need+=(chromium)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
