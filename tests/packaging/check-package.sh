#!/usr/bin/env bash
# Builds the Debian package from the build folder, unpacks it into a scratch root and
# checks that it holds what an installation needs and depends on Debian's libraries.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(ls "$scratch"/out/*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no .deb produced"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"

for f in \
  usr/bin/calvestra \
  usr/bin/calvestra-service \
  usr/bin/calvestra-account \
  usr/share/applications/it.vantrel.Calvestra.desktop \
  usr/share/metainfo/it.vantrel.Calvestra.metainfo.xml \
  usr/share/icons/hicolor/256x256/apps/calvestra.png \
  usr/share/icons/hicolor/scalable/apps/calvestra.svg \
  usr/lib/udev/rules.d/70-calvestra-calvimetro.rules \
  usr/lib/systemd/system/calvestra-service.service \
  usr/share/doc/calvestra/service-deployment.md \
  usr/share/doc/calvestra/user-guide.html \
  usr/share/calvestra/user-guide.pdf ; do
  [ -f "$root/$f" ] || fail "missing $f"
done
for exe in calvestra calvestra-service calvestra-account; do
  [ -x "$root/usr/bin/$exe" ] || fail "$exe is not executable"
done

grep -q '^Exec=calvestra$' "$root/usr/share/applications/it.vantrel.Calvestra.desktop" || fail "desktop Exec"
grep -q '^Icon=calvestra$' "$root/usr/share/applications/it.vantrel.Calvestra.desktop" || fail "desktop Icon"
rule="$root/usr/lib/udev/rules.d/70-calvestra-calvimetro.rules"
grep -q 'ATTR{idVendor}=="04d8"' "$rule" && grep -q 'ATTR{idProduct}=="fbb7"' "$rule" \
  && grep -q 'TAG+="uaccess"' "$rule" || fail "udev rule"
grep -q '<id>it.vantrel.Calvestra</id>' "$root/usr/share/metainfo/it.vantrel.Calvestra.metainfo.xml" || fail "metainfo id"

depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6core6 libqt6widgets6 libqt6sql6-sqlite libqt6network6 libqt6charts6 libusb-1.0-0 libzip4; do
  case ", $depends," in *", $dep"[\ ,]*) ;; *) fail "Depends lacks $dep: $depends" ;; esac
done
[ "$(dpkg-deb -f "$deb" Package)" = calvestra ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = 0.6.4 ] || fail "version"

# Every library the programs need is provided by an installed package on this machine.
for exe in calvestra calvestra-service calvestra-account; do
  if ldd "$root/usr/bin/$exe" | grep -q 'not found'; then fail "$exe has unresolved libraries"; fi
done
"$root/usr/bin/calvestra-service" --help >/dev/null 2>&1 || fail "calvestra-service --help"
head -c 5 "$root/usr/share/calvestra/user-guide.pdf" | grep -q '%PDF-' || fail "user guide is not a PDF"

echo "package $(basename "$deb") checked: $(dpkg-deb -c "$deb" | wc -l) entries"
echo "1 passed, 0 failed"
