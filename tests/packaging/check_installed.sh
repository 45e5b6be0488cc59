#!/usr/bin/env bash
# Checks an installed tree (an install prefix, or a package unpacked with
# dpkg -x): every file in its place, and the installed ambro-cli finding the
# dome descriptions without a build tree and decoding a fixture.
set -euo pipefail
root=$1
fixture=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

for file in bin/ambro bin/ambro-cli bin/ambro-sim \
            share/ambro/PTZSetup_New/Info.ini \
            share/applications/ambro.desktop \
            share/icons/hicolor/scalable/apps/ambro.svg \
            share/icons/hicolor/256x256/apps/ambro.png \
            share/man/man1/ambro.1 share/man/man1/ambro-cli.1 share/man/man1/ambro-sim.1; do
    if [ ! -e "$root/$file" ]; then
        echo "missing: $file" >&2
        exit 1
    fi
done
if [ -e "$root/bin/PTZSetup_New" ]; then
    echo "the dome descriptions are still installed beside the programs" >&2
    exit 1
fi

# Copied away from the build tree, with no data folders of the user's.
version=$(env -i HOME="$scratch" "$root/bin/ambro-cli" --version)
echo "$version"
expected="dome descriptions: $(cd "$root/share/ambro" && pwd)/PTZSetup_New"
if ! grep -qxF "$expected" <<<"$version"; then
    echo "the installed ambro-cli does not find its dome descriptions" >&2
    exit 1
fi
env -i HOME="$scratch" "$root/bin/ambro-cli" decode --width 176 --height 144 \
    --out "$scratch/pictures" "$fixture"
test -s "$scratch/pictures/000000.bgr"
echo "installed tree checked"
