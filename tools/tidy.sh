#!/bin/bash
# tidy.sh BUILD_DIR SOURCE...: clang-tidy over the sources, as the cross compiler sees them.
# clang knows the mingw-w64 target but not where Debian keeps its C++ headers.
set -euo pipefail
build=$1; shift
gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
cxx_include=$gcc_dir/include/c++
# The counts of suppressed system-header warnings are noise; clang-tidy's status counts.
set +e
clang-tidy --quiet -p "$build" \
    --extra-arg=--target=x86_64-w64-mingw32 \
    --extra-arg=-isystem"$cxx_include" \
    --extra-arg=-isystem"$cxx_include/x86_64-w64-mingw32" \
    "$@" 2>&1 | grep -v '^[0-9]* warnings\? generated\.$'
exit "${PIPESTATUS[0]}"
