#!/usr/bin/env bash
# Writes the third-party notices of the Windows programs to standard output: the licence texts of
# the runtime libraries that mingw-w64 links into them statically, as Debian ships them with the
# packages that provide those libraries.
# Usage: third-party-notices.sh PROGRAM...   the shipped programs' names, as the build lists them
set -euo pipefail
if [ "$#" -eq 0 ]; then
    echo "usage: $0 PROGRAM..." >&2
    exit 2
fi

# What is linked in, and the Debian packages whose copyright files carry its licence texts.
libraries=(
    "mingw-w64 runtime (C start-up code, the CRT import libraries and helpers) and winpthreads:mingw-w64-x86-64-dev mingw-w64-i686-dev"
    "GCC runtime libraries (libstdc++, libgcc, libgcc_eh), under the GCC Runtime Library Exception:gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix"
)

programs=("${@/%/.exe}")
named=${programs[*]}
case $# in
1) named="${programs[0]}" all="The program (x86 and x64) is" ;;
2) named="${programs[0]} and ${programs[1]}" all="Both programs (x86 and x64) are" ;;
*) named="${named// /, }" named="${named%, *} and ${programs[-1]}" all="All $# programs (x86 and x64) are" ;;
esac
cat <<TEXT
Third-party notices for $named

$all built with the mingw-w64 cross compiler of Debian, which links
the following runtime libraries into them. Their licence texts follow, as the Debian
packages that provide the libraries state them.
TEXT
for entry in "${libraries[@]}"; do
    what=${entry%%:*}
    read -r -a packages <<<"${entry#*:}"
    printf '\n\n==== %s\n' "$what"
    printf 'Debian packages: %s\n' "${packages[*]}"
    # The architectures' packages ship the same text; each distinct text is given once.
    declare -A seen=()
    for package in "${packages[@]}"; do
        file="/usr/share/doc/$package/copyright"
        if [ ! -f "$file" ]; then
            echo "third-party-notices.sh: $file is missing (is $package installed?)" >&2
            exit 1
        fi
        sum=$(sha256sum <"$file" | cut -d' ' -f1)
        [ -z "${seen[$sum]:-}" ] || continue
        seen[$sum]=1
        printf '\n---- from %s\n\n' "$file"
        cat "$file"
    done
    unset seen
done
