# Sourced by the scripts that run a shipped Windows program under Wine: the settings of one
# architecture's prefix (a 32-bit prefix for x86, as on 32-bit Windows), with Wine started
# through bin/ beside this file.
# Usage: use_wine_prefix x86|x64 PREFIX
use_wine_prefix() {
    PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/bin:$PATH"
    export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
    WINEPREFIX=$(realpath -m "$2")
    case $1 in
    x86) export WINEARCH=win32 ;;
    x64) export WINEARCH=win64 ;;
    *)
        echo "unknown architecture $1" >&2
        exit 2
        ;;
    esac
}
