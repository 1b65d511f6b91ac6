#!/usr/bin/env bash
# Makes the .deb of a build directory with CPack in a scratch directory,
# unpacks it into a scratch root (dpkg-deb -x) and checks what a desktop needs:
# the program answers --version, the man page, the icon, a desktop entry that
# desktop-file-validate accepts, Qt among the package's dependencies, and the
# Python module importable from where the package puts it.
#   check-deb.sh <build-dir>
set -euo pipefail
build="$(cd "$1" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" > "$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; exit 1; }
deb="$(ls "$scratch"/out/*.deb)"
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
fail() { echo "check-deb: $*" >&2; exit 1; }
for f in usr/bin/kestrune usr/share/man/man1/kestrune.1 \
         usr/share/icons/hicolor/scalable/apps/kestrune.svg \
         usr/share/applications/kestrune.desktop; do
  [ -f "$root/$f" ] || fail "missing /$f"
done
desktop-file-validate "$root/usr/share/applications/kestrune.desktop"
depends="$(dpkg-deb -f "$deb" Depends)"
[[ "$depends" == *libqt6widgets6* ]] || fail "Depends lacks Qt: $depends"
version="$("$root/usr/bin/kestrune" --version)"
[ "$version" = "kestrune $(dpkg-deb -f "$deb" Version)" ] || fail "--version says: $version"
# The Python module where Debian's python3 finds it under /usr.
if [ -d "$build/python/kestrune" ]; then
  site="$(/usr/bin/python3 -c 'import sys; print("usr/lib/python%d.%d/dist-packages" % sys.version_info[:2])')"
  [ -f "$root/$site/kestrune/__init__.py" ] || fail "missing /$site/kestrune"
  PYTHONPATH="$root/$site" /usr/bin/python3 -c \
    'import kestrune; assert kestrune.nels().lops()[0] == "9007W"' || fail "import kestrune failed"
fi
echo "$(basename "$deb"): Depends: $depends"
