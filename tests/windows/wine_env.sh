# shellcheck shell=bash
# The Wine settings of every script that starts Wine: Wine started through bin/ beside this file,
# the variables of wine.env (no debug output, no Mono or Gecko installer prompt, no desktop menu
# entries; CTest's runs read the same file) and no display to open a window on.
wine_env_folder="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
wine_env_bin="$wine_env_folder/bin"

use_wine() {
    case ":$PATH:" in
    *":$wine_env_bin:"*) ;;
    *) export PATH="$wine_env_bin:$PATH" ;;
    esac
    local setting
    while IFS= read -r setting; do
        export "${setting?}"
    done <"$wine_env_folder/wine.env"
    unset DISPLAY WAYLAND_DISPLAY
}

# The same in one architecture's prefix (a 32-bit prefix for x86, as on 32-bit Windows).
# Usage: use_wine_prefix x86|x64|win32|win64 PREFIX
use_wine_prefix() {
    use_wine
    export WINEPREFIX
    WINEPREFIX=$(realpath -m "$2")
    case $1 in
    x86 | win32) export WINEARCH=win32 ;;
    x64 | win64) export WINEARCH=win64 ;;
    *)
        echo "unknown architecture $1" >&2
        exit 2
        ;;
    esac
}
