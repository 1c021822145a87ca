#!/usr/bin/env bash
# Builds the Debian package build/parlino_VERSION_ARCH.deb from a release build.
# Install it with: sudo apt-get install ./build/parlino_VERSION_ARCH.deb
#
# Its dependencies are computed from the programs' shared libraries
# (dpkg-shlibdeps), plus what they load at run time and no linker sees: the
# Qt platform plugins that open the window. The voices' data comes with their
# libraries' packages (espeak-ng-data with libespeak-ng1, the Flite voices in
# libflite1). xdg-utils (the links open through xdg-open) is only suggested:
# desktops have it, and recommending it would pull in some fifty packages on a
# bare system. The maintainer field is $PARLINO_MAINTAINER when set.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target parlino parlino-render

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
arch=$(dpkg --print-architecture)
work=build/deb
stage=$work/parlino
rm -rf "$work"
mkdir -p "$stage/DEBIAN"

DESTDIR=$stage cmake --install build/release --prefix /usr --strip >/dev/null
gzip -9n "$stage"/usr/share/man/man1/*.1 # Debian ships manual pages compressed

# dpkg-shlibdeps reads the package list of a debian/control in its folder.
mkdir -p "$work/shlibs/debian"
printf 'Source: parlino\n\nPackage: parlino\nArchitecture: any\n' >"$work/shlibs/debian/control"
shlibs=$(cd "$work/shlibs" && dpkg-shlibdeps -O \
    "$OLDPWD/$stage/usr/lib/parlino/parlino" "$OLDPWD/$stage/usr/lib/parlino/parlino-render")
depends="${shlibs#shlibs:Depends=}, qt6-qpa-plugins"

cat >"$stage/DEBIAN/control" <<EOF
Package: parlino
Version: $version
Architecture: $arch
Maintainer: ${PARLINO_MAINTAINER:-Parlino developers <parlino@parlino.org>}
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $depends
Suggests: xdg-utils, mpv
Section: sound
Priority: optional
Description: read subtitles aloud in step with a film
 Parlino speaks every subtitle of a SubRip, WebVTT, ASS/SSA or timecode file
 at the moment it is due: in step with a film playing in a separate video player
 (mpv or any MPRIS media player), or on its own clock. Voices are espeak-ng's
 and Flite's, with their speed, pitch and volume, on any sound card of the
 sound server; dictionaries rewrite the text before it is spoken.
 .
 parlino-render writes the voice-over of a whole subtitle file into a WAV file
 without a window.
EOF

deb=build/parlino_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "Built $deb"
echo "Depends: $depends"
