#!/bin/sh
# Builds the extraction tests with clang and ThreadSanitizer in build-tsan/ and runs them: the
# archive reader, the extraction layer with its second writer, the module that runs it on a thread
# of its own, and the launch through it. Any report of a data race or a lock-order problem fails
# the run.
set -eu
cd "$(dirname "$0")/.."
build=build-tsan
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGANTREL_TSAN=ON \
    -DGANTREL_WERROR=ON
cmake --build "$build" --parallel "$(nproc)" --target tst_archivereader tst_unzip32 tst_unzipmodule tst_launch
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(pwd)/scripts/tsan.supp"
(cd "$build" && ctest --output-on-failure --parallel "$(nproc)" -R '^(tst_archivereader|tst_unzip32|tst_unzipmodule|tst_launch)$')
