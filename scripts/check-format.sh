#!/bin/sh
# Fails, listing the differences, when a C++ source is not formatted as .clang-format says.
set -eu
cd "$(dirname "$0")/.."
if [ -d .git ] || [ -f .git ]; then
    git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
else
    find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror
fi
