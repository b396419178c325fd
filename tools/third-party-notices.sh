#!/usr/bin/env bash
# Writes the third-party notices of the Windows programs to standard output: the licence texts of
# the runtime libraries that mingw-w64 links into them statically, as Debian ships them with the
# packages that provide those libraries.
set -euo pipefail

# What is linked in, and the Debian packages whose copyright files carry its licence texts.
libraries=(
    "mingw-w64 runtime (C start-up code, the CRT import libraries and helpers) and winpthreads:mingw-w64-x86-64-dev mingw-w64-i686-dev"
    "GCC runtime libraries (libstdc++, libgcc, libgcc_eh), under the GCC Runtime Library Exception:gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix"
)

cat <<'TEXT'
Third-party notices for quenmoor-update.exe and quenmoor-check.exe

Both programs (x86 and x64) are built with the mingw-w64 cross compiler of Debian, which links
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
