#!/usr/bin/env bash
# make deb: builds the Debian package quillmer_<version>_<arch>.deb into the
# repository root and checks it. The package is built from a copy of the
# sources in build-deb/ (build/ is not touched); its checks are lintian (no
# error, no warning), desktop-file-validate and appstreamcli validate (with
# --no-net: these machines have no network besides the package archive).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/setup.sh scripts/packages-deb.txt

version=$(dpkg-parsechangelog -S Version)
work=$root/build-deb
src=$work/quillmer-$version
rm -rf "$work"
mkdir -p "$src"
# The sources as the work tree has them: tracked files and new ones that
# are not ignored, modification times kept.
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do [[ -e $file ]] && printf '%s\0' "$file"; done |
  tar --null -T - -cf - | tar -xf - -C "$src"

export DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}"
if command -v ccache >/dev/null && [[ -z ${CMAKE_CXX_COMPILER_LAUNCHER:-} ]]; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
(cd "$src" && dpkg-buildpackage --build=binary --no-sign)

rm -f "$root"/quillmer_*.deb
mv "$work"/quillmer_"$version"_*.deb "$root/"
deb=$(ls "$root"/quillmer_"$version"_*.deb)
echo "Built ${deb#"$root"/}"

lintian --fail-on error,warning --display-info "$deb"
desktop-file-validate "$src"/debian/quillmer/usr/share/applications/*.desktop
appstreamcli validate --no-net "$src"/debian/quillmer/usr/share/metainfo/*.metainfo.xml
echo "The package passes lintian, desktop-file-validate and appstreamcli validate"
