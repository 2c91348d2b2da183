# Shared by the Wine test scripts: where the test prefixes live and who runs them.
# Two identities: root, and an unprivileged user, because Wine run as root writes into
# read-only files (Windows refuses), while a user without write permission cannot.

WINE_LOADER=${WINE_LOADER:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
TEST_ROOT=${BRIVEL_TEST_ROOT:-/tmp/brivelconfig-wine}
TEST_USER=${BRIVEL_TEST_USER:-brivtest}

# The directory of one identity ("root" or "user"): prefix/, drives/, lock.
identity_dir() { echo "$TEST_ROOT/$1"; }

# Runs a command as the given identity with that identity's prefix.
as_identity() {
    local who=$1; shift
    local dir; dir=$(identity_dir "$who")
    local env=(env WINEPREFIX="$dir/prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml=")
    [ -n "${DISPLAY:-}" ] && env+=(DISPLAY="$DISPLAY")
    if [ "$who" = user ]; then
        runuser -u "$TEST_USER" -- "${env[@]}" HOME="/home/$TEST_USER" "$@"
    else
        "${env[@]}" "$@"
    fi
}
