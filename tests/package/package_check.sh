#!/usr/bin/env bash
# Makes the Debian package from this build tree's configuration (the binary is stripped, so it
# matches a Release package but for the optimisation level) and checks what it holds and
# declares: its files, its control fields, its desktop entry and its AppStream description.
# Arguments: build directory, project version, AppStream id.
set -euo pipefail
build=$1 version=$2 appid=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps file desktop-file-validate appstreamcli lintian; do
    command -v "$tool" >/dev/null ||
        fail "$tool missing: scripts/install-deps.sh dpkg-dev file desktop-file-utils appstream lintian"
done

work="$build/package-check"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
# dpkg-shlibdeps failing is only a warning to CPack: the package would come out without Depends.
if grep -qi "warning\|error" "$work/cpack.log"; then cat "$work/cpack.log"; fail "cpack complained"; fi
arch=$(dpkg --print-architecture)
deb="$work/parelix_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(cd "$work" && ls ./*.deb 2>/dev/null)"

# Files: exactly the program, its menu entry, its icon, its metainfo, its copyright, changelog
# and manual page; directories only on their way. A bench tool, a test or a library slipping
# in shows here.
expected="./usr/bin/parelix
./usr/share/applications/parelix.desktop
./usr/share/doc/parelix/changelog.gz
./usr/share/doc/parelix/copyright
./usr/share/icons/hicolor/scalable/apps/parelix.svg
./usr/share/man/man1/parelix.1.gz
./usr/share/metainfo/$appid.metainfo.xml"
contents=$(dpkg-deb --contents "$deb")
files=$(awk '$1 !~ /^d/ { print $6 }' <<<"$contents" | sort)
[ "$files" = "$expected" ] || fail "files in the package:
$files
expected:
$expected"
while read -r dir; do
    grep -q "^${dir%/}/" <<<"$expected" || fail "stray directory $dir"
done < <(awk '$1 ~ /^d/ && $6 != "./" { print $6 }' <<<"$contents")
awk '$6 == "./usr/bin/parelix" { print $1, $2 }' <<<"$contents" | grep -qx -- "-rwxr-xr-x root/root" ||
    fail "/usr/bin/parelix is not an executable owned by root: $(grep usr/bin/parelix <<<"$contents")"

# Control fields.
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = parelix ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the build's is $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
for f in Maintainer Section Installed-Size Description; do
    [ -n "$(field "$f")" ] || fail "no $f field"
done
# A long description under the synopsis, which it does not repeat.
description=$(field Description)
[ "$(wc -l <<<"$description")" -gt 1 ] || fail "Description has no long text"
[ "$(sed -n 2p <<<"$description" | sed 's/^ *//')" != "$(head -1 <<<"$description")" ] ||
    fail "Description repeats its synopsis: $description"
# Depends comes from the linked libraries: the Qt modules, GIO (glib), ICU and the C++ runtime;
# and Qt's French, for its dialogs.
depends=$(field Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libglib2.0-0 'libicu[0-9]+' libstdc\\+\\+6 libc6 \
    qt6-translations-l10n; do
    grep -Eq "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
grep -Eq -- '-dev( |,|$)|gtest|gmock' <<<"$depends" && fail "Depends names a build-only package: $depends"

# What the package installs.
root="$work/root"
dpkg-deb --extract "$deb" "$root"
file -b "$root/usr/bin/parelix" | grep -q ", stripped" || fail "binary not stripped: $(file -b "$root/usr/bin/parelix")"
desktop="$root/usr/share/applications/parelix.desktop"
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
exec_prog=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$root/usr/bin/${exec_prog#/usr/bin/}" ] || fail "Exec=$exec_prog is not the packaged program"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon is not the packaged icon"
metainfo="$root/usr/share/metainfo/$appid.metainfo.xml"
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
grep -q "<launchable type=\"desktop-id\">parelix.desktop</launchable>" "$metainfo" ||
    fail "metainfo does not launch the packaged desktop entry"
grep -q "<id>$appid</id>" "$metainfo" || fail "metainfo id is not $appid"
# The licence, in Debian's machine-readable copyright format; the changelog and the metainfo's
# latest release name this version; the manual page reads without a warning.
copyright="$root/usr/share/doc/parelix/copyright"
head -1 "$copyright" | grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ||
    fail "copyright is not in the machine-readable format: $(head -1 "$copyright")"
grep -qx "License: Expat" "$copyright" || fail "copyright names no MIT (Expat) licence"
grep -q "Parelix developers" "$copyright" || fail "copyright does not name the Parelix developers"
changes=$(zcat "$root/usr/share/doc/parelix/changelog.gz" | head -1)
[[ "$changes" == "parelix ($version) "* ]] || fail "changelog's latest entry is not $version: $changes"
grep -q "<project_license>MIT</project_license>" "$metainfo" || fail "metainfo has no project_license MIT"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -1)
[ "$release" = "$version" ] || fail "metainfo's latest release is '$release', the build's is $version"
out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/usr/share/man/man1/parelix.1.gz" 2>&1 >/dev/null) ||
    fail "man parelix: $out"
[ -z "$out" ] || fail "man parelix warns: $out"
# Debian's own checks: no error.
out=$(lintian --fail-on error "$deb" 2>&1) || fail "lintian: $out"

echo "package $(basename "$deb") checked: $(wc -l <<<"$files") files, Depends: $depends"
