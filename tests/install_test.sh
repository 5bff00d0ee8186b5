#!/usr/bin/env bash
# Stages an install and checks the installed files; then builds the Debian
# package, unpacks it into a scratch root and runs lumoractl from there.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$scratch/stage" cmake --install "$build" --prefix /usr > /dev/null
(cd "$scratch/stage" && find . -type f | sed 's|^\./||' | sort) > "$scratch/files"
echo "installed files:"; sed 's/^/  /' "$scratch/files"

expected=(
  usr/bin/lumoractl
  usr/lib/udev/rules.d/70-lumora.rules
  usr/share/man/man1/lumoractl.1
)
if [[ -n "${LUMORA_EXPECT_GUI:-}" ]]; then
  expected+=(
    usr/bin/lumora
    usr/share/applications/lumora.desktop
    usr/share/icons/hicolor/scalable/apps/lumora.svg
  )
  for size in 16 24 32 48 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/lumora.png")
  done
fi
for file in "${expected[@]}"; do
  grep -qx "$file" "$scratch/files" || fail "$file is not installed"
done
grep -Eq 'sim|test' "$scratch/files" && fail "test or simulator files are installed"

rule="$scratch/stage/usr/lib/udev/rules.d/70-lumora.rules"
grep -q 'ATTRS{idVendor}=="0451", ATTRS{idProduct}=="6401", TAG+="uaccess"' "$rule" || fail "no hidraw uaccess rule"
grep -q 'SUBSYSTEM=="usb", ATTR{idVendor}=="0451", ATTR{idProduct}=="6401", TAG+="uaccess"' "$rule" || fail "no usb uaccess rule"
grep -Eq 'MODE *= *"?0?[0-7][0-7][2367]' "$rule" && fail "the rule makes the device world-writable"

# The package: dependencies computed from the binaries, lumoractl runs from it.
(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -B "$scratch/package" > "$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
deb=$(ls "$scratch"/package/*.deb)
echo "package: $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
[[ "$depends" == *libhidapi-hidraw0* ]] || fail "the package does not depend on libhidapi-hidraw0"
dpkg-deb -x "$deb" "$scratch/root"
version=$("$scratch/root/usr/bin/lumoractl" --version)
[[ "$version" == "lumoractl 1.0.0.1" ]] || fail "lumoractl --version from the package printed '$version'"
echo "lumoractl from the package: $version"
echo "install test passed"
