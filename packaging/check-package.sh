#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Unpacks the .deb into a scratch root and checks it as a user would meet it: both programs, the
# scanner helper and the drawing renderer's helper are there, the installed tool runs, the
# desktop entry validates, the manual pages and the completion are in place, and the German
# translation is found.
#   packaging/check-package.sh PACKAGE.deb
set -eu
deb=${1:?usage: $0 PACKAGE.deb}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb --info "$deb" | grep -E '^ (Package|Version|Depends):'
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' ||
    { echo "check-package: the dependencies do not name the linked Qt libraries" >&2; exit 1; }
dpkg -x "$deb" "$root"
for f in usr/bin/velmora usr/bin/velmora-poster usr/libexec/velmora/velmora-scan-helper \
         usr/libexec/velmora/velmora-render-helper \
         usr/share/applications/io.github.velmora.Velmora.desktop \
         usr/share/icons/hicolor/scalable/apps/velmora.svg \
         usr/share/man/man1/velmora.1.gz usr/share/man/man1/velmora-poster.1.gz \
         usr/share/bash-completion/completions/velmora-poster \
         usr/share/velmora/translations/velmora_de.qm; do
    [ -e "$root/$f" ] || { echo "check-package: $f is missing" >&2; exit 1; }
done
version=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/velmora-poster" --version | head -n 1)
echo "installed tool: $version"
# The package's version is the program's, with the package's own revision after a hyphen.
upstream=$(dpkg-deb --field "$deb" Version | sed 's/-[^-]*$//')
[ "$version" = "velmora-poster $upstream" ] ||
    { echo "check-package: the installed tool says '$version'" >&2; exit 1; }
for f in usr/share/doc/velmora/copyright usr/share/doc/velmora/changelog.Debian.gz \
         usr/share/metainfo/io.github.velmora.Velmora.metainfo.xml; do
    [ -e "$root/$f" ] || { echo "check-package: $f is missing" >&2; exit 1; }
done
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.velmora.Velmora.metainfo.xml"
# Debian's own check: no errors, and no warning but those explained in lintian-overrides.
lintian --fail-on error,warning --suppress-tags-from-file "$(dirname "$0")/lintian-overrides" \
    "$deb"
desktop-file-validate "$root/usr/share/applications/io.github.velmora.Velmora.desktop"
man -l "$root/usr/share/man/man1/velmora-poster.1.gz" 2>/dev/null | grep -q -- '--rotate' ||
    zcat "$root/usr/share/man/man1/velmora-poster.1.gz" | grep -q 'rotate' ||
    { echo "check-package: the tool's manual lacks its options" >&2; exit 1; }
zcat "$root/usr/share/man/man1/velmora-poster.1.gz" | grep -q 'Width in pages' ||
    { echo "check-package: the tool's manual is not in English" >&2; exit 1; }
# The installed programs find the installed translation.
LC_ALL= LANGUAGE= LANG=de_DE.UTF-8 QT_QPA_PLATFORM=offscreen "$root/usr/bin/velmora-poster" --help |
    grep -q 'Breite in Seiten' ||
    { echo "check-package: the installed tool does not speak German" >&2; exit 1; }
echo "check-package: $(basename "$deb") is complete"
