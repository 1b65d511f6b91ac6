#!/usr/bin/env bash
# Makes the .deb of a build directory with CPack in a scratch directory,
# unpacks it into a scratch root (dpkg-deb -x) and checks what a desktop needs:
# the programs answer --version, the compressed man pages, the icon, a desktop
# entry that desktop-file-validate accepts, Qt among the package's
# dependencies, /usr/share/doc/kestrune with the copyright, changelog,
# documentation and sample logbooks, the Python module importable from where
# the package puts it, and no error from lintian.
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
doc=usr/share/doc/kestrune
for f in usr/bin/kestrune usr/bin/kestrune-convert usr/bin/kestrune-chart \
         usr/share/man/man1/kestrune.1.gz usr/share/man/man1/kestrune-convert.1.gz \
         usr/share/man/man1/kestrune-chart.1.gz usr/share/man/man5/kestrune-files.5.gz \
         usr/share/icons/hicolor/scalable/apps/kestrune.svg \
         usr/share/applications/kestrune.desktop \
         $doc/copyright $doc/changelog.gz $doc/convert.md $doc/accuracy.md $doc/bad-input.md \
         $doc/examples/wrecks.csv $doc/examples/known-points.csv $doc/examples/frohavet-log.csv; do
  [ -f "$root/$f" ] || fail "missing /$f"
done
grep -q "Natural Earth" "$root/$doc/copyright" || fail "copyright lacks Natural Earth"
grep -q "GPX" "$root/$doc/copyright" || fail "copyright lacks the GPX schema"
# No man page sends the reader to the sources.
if zgrep -l '\.hpp\|\.cpp\|in the Kestrune sources' "$root"/usr/share/man/man*/*.gz; then
  fail "a man page names a source file"
fi
desktop-file-validate "$root/usr/share/applications/kestrune.desktop"
depends="$(dpkg-deb -f "$deb" Depends)"
[[ "$depends" == *libqt6widgets6* ]] || fail "Depends lacks Qt: $depends"
for program in kestrune kestrune-convert kestrune-chart; do
  version="$("$root/usr/bin/$program" --version)"
  [ "$version" = "$program $(dpkg-deb -f "$deb" Version)" ] || fail "--version says: $version"
done
# The Python module where Debian's python3 finds it under /usr.
if [ -d "$build/python/kestrune" ]; then
  site="$(/usr/bin/python3 -c 'import sys; print("usr/lib/python%d.%d/dist-packages" % sys.version_info[:2])')"
  [ -f "$root/$site/kestrune/__init__.py" ] || fail "missing /$site/kestrune"
  PYTHONPATH="$root/$site" /usr/bin/python3 -c \
    'import kestrune; assert kestrune.nels().lops()[0] == "9007W"' || fail "import kestrune failed"
fi
# Errors fail the check; warnings and notes are shown.
lintian --fail-on error --tag-display-limit 0 "$deb" >&2 || fail "lintian finds errors (above)"
echo "$(basename "$deb"): Depends: $depends"
