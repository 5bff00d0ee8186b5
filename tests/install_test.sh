#!/usr/bin/env bash
# Stages an install and checks the installed files and the udev rule; then
# builds the Debian package, runs lintian on it (any error or warning fails),
# checks that its binaries are stripped and hardened, that its maintainer
# scripts stay quiet without a udev daemon, and runs lumoractl from it.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$scratch/stage" cmake --install "$build" --prefix /usr > /dev/null
(cd "$scratch/stage" && find . -type f | sed 's|^\./||' | sort) > "$scratch/files"
echo "installed files:"; sed 's/^/  /' "$scratch/files"

expected=(
  usr/bin/lumoractl
  usr/lib/udev/rules.d/70-lumora.rules
  usr/share/man/man1/lumoractl.1.gz
  usr/share/doc/lumora/copyright
  usr/share/doc/lumora/changelog.gz
)
if [[ -n "${LUMORA_EXPECT_GUI:-}" ]]; then
  expected+=(
    usr/bin/lumora
    usr/share/man/man1/lumora.1.gz
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

# The rule: the hidraw node of the module only, for the seat and for plugdev;
# nothing for the raw USB device, nothing for other users.
rule="$scratch/stage/usr/lib/udev/rules.d/70-lumora.rules"
rules=$(grep -v '^#' "$rule" | grep .)
[[ "$rules" == 'SUBSYSTEM=="hidraw", ATTRS{idVendor}=="0451", ATTRS{idProduct}=="6401", TAG+="uaccess", GROUP="plugdev", MODE="0660"' ]] ||
  fail "the rule is not the one hidraw rule for the seat and plugdev: $rules"

# The package, and what lintian says of it.
(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -B "$scratch/package" > "$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
deb=$(ls "$scratch"/package/*.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
command -v lintian > /dev/null || fail "lintian is not installed (./scripts/install-deps --test installs it)"
lintian_status=0
lintian --fail-on error,warning "$deb" > "$scratch/lintian.log" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$scratch/lintian.log" | sed 's/^/  lintian: /' || true
[[ $lintian_status -eq 0 ]] || fail "lintian reports errors or warnings (exit $lintian_status)"
echo "lintian: no error, no warning"

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
[[ "$depends" == *libhidapi-hidraw0* ]] || fail "the package does not depend on libhidapi-hidraw0"
dpkg-deb -x "$deb" "$scratch/root"

# Stripped and hardened: a position-independent executable, relocations read
# only after start-up (full RELRO: GNU_RELRO and BIND_NOW), the stack
# protector and FORTIFY's checked functions in use. A build with a sanitizer
# goes without hardening (LUMORA_EXPECT_HARDENED is then empty).
binaries=()
if [[ -n "${LUMORA_EXPECT_HARDENED:-}" ]]; then
  binaries=(usr/bin/lumoractl)
  [[ -n "${LUMORA_EXPECT_GUI:-}" ]] && binaries+=(usr/bin/lumora)
else
  echo "hardening: not checked (this build goes without it)"
fi
for binary in "${binaries[@]}"; do
  path="$scratch/root/$binary"
  header=$(readelf -hW "$path"); dynamic=$(readelf -dW "$path"); segments=$(readelf -lW "$path")
  sections=$(readelf -SW "$path"); symbols=$(readelf --dyn-syms -W "$path")
  [[ "$header" == *"DYN (Position-Independent Executable"* ]] || fail "$binary is not PIE"
  [[ "$segments" == *GNU_RELRO* ]] || fail "$binary has no RELRO"
  [[ "$dynamic" =~ BIND_NOW|Flags:.*NOW ]] || fail "$binary is not linked with BIND_NOW"
  [[ "$symbols" == *__stack_chk_fail* ]] || fail "$binary has no stack protector"
  checked=$(grep -oE '__[a-z0-9_]+_chk\b' <<< "$symbols" | grep -v __stack_chk | sort -u | tr '\n' ' ')
  [[ -n "$checked" ]] || fail "$binary uses no FORTIFY-checked function"
  [[ "$sections" =~ \.symtab|\.debug_ ]] && fail "$binary is not stripped"
  echo "hardening $binary: PIE, full RELRO (BIND_NOW), stack protector, FORTIFY (${checked% }), stripped"
done

# Without a udev daemon (a chroot, a container, this test's machine) the
# maintainer scripts do nothing and say nothing.
if [[ ! -S /run/udev/control ]]; then
  dpkg-deb -e "$deb" "$scratch/control"
  for script in "postinst configure" "postrm remove"; do
    said=$(sh "$scratch/control/"$script 2>&1) || fail "$script failed: $said"
    [[ -z "$said" ]] || fail "$script printed: $said"
  done
  echo "postinst and postrm: quiet without a udev daemon"
fi

version=$("$scratch/root/usr/bin/lumoractl" --version)
[[ "$version" == "lumoractl 1.0.0.1" ]] || fail "lumoractl --version from the package printed '$version'"
echo "lumoractl from the package: $version"
echo "install test passed"
