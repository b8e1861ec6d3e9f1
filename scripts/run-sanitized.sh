#!/bin/sh
# Builds everything with clang, AddressSanitizer and UndefinedBehaviorSanitizer in build-sanitize/
# (fuzz targets included), runs every test there, then runs each fuzz target for a short while
# (GANTREL_FUZZ_SECONDS, 30 by default). Any sanitizer report stops the run with an error.
set -eu
cd "$(dirname "$0")/.."
build=build-sanitize
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DGANTREL_SANITIZE=ON -DGANTREL_BUILD_FUZZ=ON -DGANTREL_WERROR=ON
cmake --build "$build" --parallel "$(nproc)"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$(pwd)/scripts/lsan.supp"
(cd "$build" && ctest --output-on-failure --parallel "$(nproc)")
scripts/run-fuzz.sh "${GANTREL_FUZZ_SECONDS:-30}" "$build"
