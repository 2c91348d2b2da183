#!/bin/bash
# check.sh SOURCE_DIR: builds both executables again from a copy of the sources in another
# directory and checks that they, and the release archives made from them, are the same
# bytes as the main build's. Paths and times of the build must not reach the output.
set -euo pipefail
source_dir=$(realpath "$1")
work=$(mktemp -d /tmp/brivelconfig-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Only what a clean checkout has: the tracked files (staged or not), no build output.
copy=$work/other-place
mkdir -p "$copy"
(cd "$source_dir" && git ls-files -z --cached --others --exclude-standard |
    xargs -0 cp --parents -t "$copy")

status=0
for target in win32 win64; do
    (cd "$copy" && cmake --preset "$target" -DBUILD_TESTING=OFF >/dev/null &&
        cmake --build "build/$target" --target brivelconfig >/dev/null)
    if cmp "$source_dir/build/$target/BRIVELCONFIG.EXE" "$copy/build/$target/BRIVELCONFIG.EXE"; then
        echo "$target: the same executable from $copy"
    else
        status=1
    fi
done

for tree in "$source_dir" "$copy"; do
    "$source_dir/tools/make_dist.py" "$work/dist-$(basename "$tree")" \
        win32="$tree/build/win32/BRIVELCONFIG.EXE" win64="$tree/build/win64/BRIVELCONFIG.EXE"
done
if diff -r "$work/dist-$(basename "$source_dir")" "$work/dist-other-place"; then
    echo "release archives: the same bytes"
else
    status=1
fi
exit $status
