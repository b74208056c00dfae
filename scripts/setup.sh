#!/usr/bin/env bash
# Makes sure the build tools are present: g++, cmake, make, GoogleTest and
# nlohmann's JSON header, groff for the man-page check, jq and Python's
# jsonschema for the JSON document test, Chromium for the report's
# browser test, pandas for the conventions test, and for the Python package
# Debian's pybind11, numpy, pandas, dask, distributed, pytest, pip and
# setuptools; for the R package R, Rcpp and testthat.
# Installs what is missing with apt-get when run as root; otherwise says
# exactly what to install (a missing Chromium only skips its test).
set -eu
need=()
command -v g++ >/dev/null 2>&1 || need+=(g++)
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v make >/dev/null 2>&1 || need+=(make)
command -v perl >/dev/null 2>&1 || need+=(perl)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -x /usr/bin/more ] || need+=(util-linux)
command -v groff >/dev/null 2>&1 || need+=(groff-base)
[ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
[ -f /usr/include/zlib.h ] || need+=(zlib1g-dev)
[ -f /usr/include/zstd.h ] || need+=(libzstd-dev)
[ -f /usr/include/lzma.h ] || need+=(liblzma-dev)
[ -f /usr/include/bzlib.h ] || need+=(libbz2-dev)
command -v zstd >/dev/null 2>&1 || need+=(zstd)
command -v xz >/dev/null 2>&1 || need+=(xz-utils)
command -v bzip2 >/dev/null 2>&1 || need+=(bzip2)
[ -f /usr/include/boost/math/distributions/students_t.hpp ] || need+=(libboost-dev)
command -v jq >/dev/null 2>&1 || need+=(jq)
/usr/bin/python3 -c 'import jsonschema' >/dev/null 2>&1 || need+=(python3-jsonschema)
[ -f /usr/lib/cmake/pybind11/pybind11Config.cmake ] || need+=(pybind11-dev)
/usr/bin/python3 -c 'import sysconfig, os, sys; sys.exit(not os.path.exists(os.path.join(sysconfig.get_paths()["include"], "Python.h")))' || need+=(python3-dev)
for module in pybind11:python3-pybind11 numpy:python3-numpy pandas:python3-pandas \
              dask:python3-dask distributed:python3-distributed pytest:python3-pytest \
              pip:python3-pip setuptools:python3-setuptools; do
  /usr/bin/python3 -c "import ${module%%:*}" >/dev/null 2>&1 || need+=("${module#*:}")
done
# The R package: R itself, Rcpp and testthat.
command -v R >/dev/null 2>&1 && [ -d /usr/share/R/include ] || need+=(r-base-dev)
for rpkg in Rcpp:r-cran-rcpp testthat:r-cran-testthat; do
  Rscript -e "quit(status = !requireNamespace('${rpkg%%:*}', quietly = TRUE))" >/dev/null 2>&1 ||
    need+=("${rpkg#*:}")
done
if [ ! -x /usr/bin/chromium ]; then
  if [ "$(id -u)" = 0 ]; then
    need+=(chromium)
  else
    echo "Chromium is missing: the report_browser test will be skipped (sudo apt-get install chromium)" >&2
  fi
fi
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "Installing: ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${need[@]}" >/dev/null
  else
    echo "Missing build tools. Install them with:" >&2
    echo "  sudo apt-get install ${need[*]}" >&2
    exit 1
  fi
fi
