#!/usr/bin/env bash
# Builds the Debian package of a configured and built tree and checks it as a user would get it:
# lintian accepts it at --pedantic (no error, warning or pedantic tag), its desktop entry and metainfo validate, and, unpacked into a
# scratch root, it holds every file the desktop needs and its executables find their libraries.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:?usage: check-package.sh BUILD_DIR}")
app=de.dodiveverazed.Dodiveverazed

rm -f "$build"/package/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/package/dodiveverazed_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "expected one package, found: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}
echo "package: ${deb#"$PWD"/}"

echo "lintian --pedantic (fails on errors, warnings and pedantic tags; information is shown)"
lintian --pedantic --fail-on error,warning,pedantic "$deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

share=$root/usr/share
for file in usr/bin/dodiveverazed usr/bin/dodiveverazed-cli "usr/share/applications/$app.desktop" "usr/share/metainfo/$app.metainfo.xml" \
    "usr/share/icons/hicolor/scalable/apps/$app.svg" usr/share/man/man1/dodiveverazed.1.gz \
    usr/share/doc/dodiveverazed/copyright usr/share/doc/dodiveverazed/changelog.gz; do
    [[ -f $root/$file ]] || fail "missing $file"
done
for size in 16 22 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x$size/apps/$app.png
    file -b "$png" | grep -q "^PNG image data, $size x $size," || fail "icon ${size}x$size: $(file -b "$png")"
done

desktop-file-validate "$share/applications/$app.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/$app.metainfo.xml" >/dev/null || fail "appstreamcli validate"

# The names the desktop entry and the metainfo use must be the files the package ships.
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$share/applications/$app.desktop")
[[ -x $root/usr/bin/$exec_name ]] || fail "desktop entry runs '$exec_name', which is not in usr/bin"
grep -qx "Icon=$app" "$share/applications/$app.desktop" || fail "desktop entry names another icon than $app"
grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" "$share/metainfo/$app.metainfo.xml" ||
    fail "metainfo launches another desktop entry than $app.desktop"
while IFS= read -r binary; do
    [[ -x $root/usr/bin/$binary ]] || fail "metainfo provides '$binary', which is not in usr/bin"
done < <(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$share/metainfo/$app.metainfo.xml")

for program in "$root"/usr/bin/*; do
    missing=$(ldd "$program" | grep 'not found' || true)
    [[ -z $missing ]] || fail "$(basename "$program") lacks libraries: $missing"
    [[ -f $share/man/man1/$(basename "$program").1.gz ]] || fail "no manual page for $(basename "$program")"
done
# The completion offers the commands to both executables.
for program in dodiveverazed dodiveverazed-cli; do
    # shellcheck disable=SC2016  # expanded by the inner shell
    offered=$(bash -c 'source "$1"; COMP_WORDS=("$2" c); COMP_CWORD=1; _dodiveverazed; echo "${COMPREPLY[*]}"' \
        - "$share/bash-completion/completions/$program" "$program")
    [[ $offered == "check crc"* ]] || fail "the completion of $program offers '$offered' for 'c'"
done

# The unpacked executables run, without a display: --version names the package's version.
version=$(dpkg-deb -f "$deb" Version)
for program in dodiveverazed dodiveverazed-cli; do
    said=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$program" --version 2>&1) || fail "$program --version failed: $said"
    [[ $said == "dodiveverazed ${version%%-*}" ]] || fail "$program --version says '$said', the package is $version"
done

((failures == 0)) || exit 1
echo "package checks passed"
