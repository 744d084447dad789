#!/usr/bin/env bash
# Installs a built Tavrell into a temporary prefix and checks what lands there, then makes
# the Debian package and checks its dependencies and contents.
#   check-install.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
tmp=$(mktemp -d /tmp/tavrell-install.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

fail() { echo "check-install: $*" >&2; exit 1; }

expected=$(cat <<'LIST'
bin/tavrell
share/applications/tavrell.desktop
share/doc/tavrell/changelog.Debian.gz
share/doc/tavrell/copyright
share/icons/hicolor/128x128/apps/tavrell.png
share/icons/hicolor/16x16/apps/tavrell.png
share/icons/hicolor/22x22/apps/tavrell.png
share/icons/hicolor/24x24/apps/tavrell.png
share/icons/hicolor/256x256/apps/tavrell.png
share/icons/hicolor/32x32/apps/tavrell.png
share/icons/hicolor/48x48/apps/tavrell.png
share/icons/hicolor/64x64/apps/tavrell.png
share/icons/hicolor/scalable/apps/tavrell.svg
share/lintian/overrides/tavrell
share/man/man1/tavrell.1.gz
LIST
)
listed() { (cd "$1" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort); }

cmake --install "$build" --prefix "$prefix" >/dev/null
installed=$(listed "$prefix")
[ "$installed" = "$expected" ] || {
  diff <(echo "$expected") <(echo "$installed") >&2 || true
  fail "the installed files differ from the expected list (< expected, > installed)"
}
[ -x "$prefix/bin/tavrell" ] || fail "bin/tavrell is not executable"
for size in 16 22 24 32 48 64 128 256; do
  file=$prefix/share/icons/hicolor/${size}x${size}/apps/tavrell.png
  # The PNG header holds the width and height as big-endian numbers at bytes 16..23.
  dims=$(od -An -tu1 -j16 -N8 "$file" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$dims" = "${size}x${size}" ] || fail "$file is $dims, not ${size}x${size}"
done

# --version answers from a read-only prefix and writes nothing: not beside the program,
# not in the user's folders, not in the working folder.
home=$tmp/home
cwd=$tmp/cwd
mkdir -p "$home" "$cwd"
mkdir -m 700 "$tmp/run"
chmod -R a-w "$prefix"
set +e
out=$(cd "$cwd" && HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
  XDG_CACHE_HOME=$home/.cache XDG_STATE_HOME=$home/.local/state XDG_RUNTIME_DIR=$tmp/run \
  QT_QPA_PLATFORM=offscreen timeout 10 "$prefix/bin/tavrell" --version 2>&1)
rc=$?
set -e
chmod -R u+w "$prefix"
[ $rc -eq 0 ] || fail "tavrell --version ended with $rc: $out"
case "$out" in *1.0*) ;; *) fail "tavrell --version printed no version: $out" ;; esac
left=$(find "$home" "$cwd" -mindepth 1 -print -quit)
[ -z "$left" ] || fail "tavrell --version left files behind: $left"
[ "$(listed "$prefix")" = "$expected" ] || fail "tavrell --version wrote into the prefix"

desktop=$prefix/share/applications/tavrell.desktop
desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
# The menu starts the program by its name and shows the installed icon under the office programs.
for line in Name=Tavrell Exec=tavrell Icon=tavrell Type=Application; do
  grep -qx "$line" "$desktop" || fail "the desktop entry lacks $line"
done
grep -Eq '^Categories=(.*;)?Office;' "$desktop" || fail "the desktop entry is not in the Office category"
# Cyrillic letters start with the byte D0 or D1 in UTF-8.
LC_ALL=C grep -q $'^Comment=.*[\xd0\xd1]' "$desktop" || fail "the desktop entry has no Russian comment"

# The package, made into a folder of its own so the build folder stays as it was.
(cd "$build" && cpack -G DEB -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log" >&2; fail "cpack failed"; }
debs=("$tmp"/pkg/tavrell_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single tavrell_*.deb"
deb=${debs[0]}
[ "$(dpkg-deb --field "$deb" Package)" = tavrell ] || fail "the package is not called tavrell"
depends=$(dpkg-deb --field "$deb" Depends)
# The package names alone, one a line, without their versions.
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/^ *//; s/ *$//')
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6 libqt6printsupport6 \
  libqt6sql6-sqlite libqt6sql6-psql qt6-qpa-plugins libsqlite3-0 libstdc++6; do
  grep -Fxq "$p" <<<"$names" || fail "Depends lacks $p: $depends"
done
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '/$' | sed 's|^\./usr/||' | LC_ALL=C sort)
[ "$contents" = "$expected" ] || {
  diff <(echo "$expected") <(echo "$contents") >&2 || true
  fail "the package's files differ from the installed ones (< expected, > in the package)"
}
# Debian's own checks of the package: no error, no warning (the informational notes may stay).
lintian_args=()
[ "$(id -u)" = 0 ] && lintian_args+=(--allow-root)
set +e
report=$(lintian --fail-on error,warning "${lintian_args[@]}" "$deb" 2>&1)
rc=$?
set -e
if [ $rc -ne 0 ] || grep -Eq '^[EW]: ' <<<"$report"; then
  echo "$report" >&2
  fail "lintian finds errors or warnings in the package (ended with $rc)"
fi
echo "installed and packaged: $(echo "$expected" | wc -l) files; Depends: $depends"
