#!/usr/bin/env bash
# Builds the Debian package, has lintian check it, unpacks it into a temporary root and
# checks what an installation holds. Usage: package_test.sh BUILD_DIR CPACK
set -euo pipefail
build=$1
cpack=$2
for tool in dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing (scripts/deps.sh installs it)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

start=$SECONDS
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb="$work/out/tx20_1.0.0.0_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/out"; fail "no $deb"; }
echo "package built in $((SECONDS - start)) s"

# Debian's own checker finds neither errors nor warnings.
start=$SECONDS
root_option=()
[ "$(id -u)" -eq 0 ] && root_option=(--allow-root)
lintian_out=$(lintian "${root_option[@]}" "$deb") || { echo "$lintian_out"; fail "lintian"; }
[ -z "$lintian_out" ] || { echo "$lintian_out"; fail "lintian reports the lines above"; }
echo "lintian: no findings, in $((SECONDS - start)) s"

# Control fields: computed dependencies, section, maintainer, description.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Section)" = electronics ] || fail "Section"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "Maintainer"
[ "$(dpkg-deb -f "$deb" Recommends)" = qt6-translations-l10n ] || fail "Recommends"
# (No "| grep -q" under pipefail: grep's early exit would fail the writer.)
description=$(dpkg-deb -f "$deb" Description)
grep -q KELVRA <<<"$description" || fail "Description"
grep -q '^ ;' <<<"$description" && fail "Description holds a CMake list: $description"

root="$work/root"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/tx20 usr/bin/tx20ctl usr/bin/kelvra20-sim \
         usr/share/applications/tx20.desktop \
         usr/share/metainfo/local.tx20.tx20.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/tx20.svg \
         usr/share/man/man1/tx20.1.gz usr/share/man/man1/tx20ctl.1.gz \
         usr/share/man/man1/kelvra20-sim.1.gz \
         usr/share/doc/tx20/copyright usr/share/doc/tx20/changelog.gz; do
    [ -f "$root/$f" ] || fail "missing $f"
done
for size in 16 22 24 32 48 64 128 256; do
    png="$root/usr/share/icons/hicolor/${size}x${size}/apps/tx20.png"
    [ -f "$png" ] || fail "missing icon ${size}x${size}"
    # The PNG header holds width and height at bytes 16..23.
    dims=$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')
    [ "$dims" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "icon ${size}x${size} is $dims"
done
for x in tx20 tx20ctl kelvra20-sim; do [ -x "$root/usr/bin/$x" ] || fail "$x not executable"; done
# The gateway's service (where Debian 12 keeps units) runs tx20ctl serve with the options
# of its conffile; nothing enables it.
unit="$root/lib/systemd/system/tx20-gateway.service"
[ -f "$unit" ] || fail "missing tx20-gateway.service"
grep -q '^EnvironmentFile=/etc/default/tx20-gateway$' "$unit" || fail "unit options file"
grep -q '^ExecStart=/usr/bin/tx20ctl .* serve ' "$unit" || fail "unit command"
[ -f "$root/etc/default/tx20-gateway" ] || fail "missing /etc/default/tx20-gateway"
dpkg-deb -e "$deb" "$work/control"
grep -qx /etc/default/tx20-gateway "$work/control/conffiles" || fail "options file not a conffile"
[ ! -e "$work/control/postinst" ] || ! grep -q enable "$work/control/postinst" || fail "unit enabled"

desktop-file-validate "$root/usr/share/applications/tx20.desktop" || fail "desktop entry"
grep -qx 'Icon=tx20' "$root/usr/share/applications/tx20.desktop" || fail "desktop icon"
grep -qx 'Exec=tx20' "$root/usr/share/applications/tx20.desktop" || fail "desktop exec"
appstreamcli validate --no-net "$root/usr/share/metainfo/local.tx20.tx20.metainfo.xml" ||
    fail "metainfo"
grep -q '^\.TH TX20CTL 1' <<<"$(zcat "$root/usr/share/man/man1/tx20ctl.1.gz")" || fail "man page"

"$root/usr/bin/tx20ctl" --help >"$work/help" || fail "tx20ctl --help"
grep -q '^Usage: tx20ctl' "$work/help" || fail "tx20ctl --help output"
grep -q '^usage: kelvra20-sim' <<<"$("$root/usr/bin/kelvra20-sim" --help)" || fail "kelvra20-sim --help"
echo "package $(basename "$deb") checked"
