#!/usr/bin/env bash
# Stages an install and checks the installed files and the udev rule; then
# builds the Debian packages, runs lintian on them (any error or warning
# fails), checks that their binaries are stripped and hardened, that the
# maintainer scripts of lumora stay quiet without a udev daemon, runs
# lumoractl from the package and imports the Python module from its own.
#   install_test.sh BUILD_DIR
# LUMORA_EXPECT_GUI=1: the dialog is built; LUMORA_PYTHON=INTERPRETER: the
# Python module is built for it.
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
python_dir=usr/lib/python3/dist-packages/lumora
if [[ -n "${LUMORA_PYTHON:-}" ]]; then
  suffix=$("$LUMORA_PYTHON" -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')
  expected+=(
    "$python_dir/__init__.py" "$python_dir/__main__.py" "$python_dir/_lumora$suffix" "$python_dir/_lumora.pyi" "$python_dir/py.typed"
    usr/share/doc/python3-lumora/copyright
    usr/share/doc/python3-lumora/changelog.gz
  )
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

# The packages, and what lintian says of them.
(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -B "$scratch/package" > "$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
deb=$(ls "$scratch"/package/lumora_*.deb)
debs=("$deb")
[[ -n "${LUMORA_PYTHON:-}" ]] && debs+=("$(ls "$scratch"/package/python3-lumora_*.deb)")
for package in "${debs[@]}"; do
  echo "package: $(basename "$package"), $(stat -c %s "$package") bytes"
done
command -v lintian > /dev/null || fail "lintian is not installed (./scripts/install-deps --test installs it)"
lintian_status=0
lintian --fail-on error,warning "${debs[@]}" > "$scratch/lintian.log" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$scratch/lintian.log" | sed 's/^/  lintian: /' || true
[[ $lintian_status -eq 0 ]] || fail "lintian reports errors or warnings (exit $lintian_status)"
echo "lintian: no error, no warning"

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
[[ "$depends" == *libhidapi-hidraw0* ]] || fail "the package does not depend on libhidapi-hidraw0"
for package in "${debs[@]}"; do
  dpkg-deb -x "$package" "$scratch/root"
done

# Stripped and hardened: a position-independent executable (the Python
# module: a shared object), relocations read only after start-up (full RELRO:
# GNU_RELRO and BIND_NOW), the stack protector and FORTIFY's checked
# functions in use. A build with a sanitizer goes without hardening
# (LUMORA_EXPECT_HARDENED is then empty).
binaries=()
if [[ -n "${LUMORA_EXPECT_HARDENED:-}" ]]; then
  binaries=(usr/bin/lumoractl)
  [[ -n "${LUMORA_EXPECT_GUI:-}" ]] && binaries+=(usr/bin/lumora)
  [[ -n "${LUMORA_PYTHON:-}" ]] && binaries+=("$python_dir/_lumora$suffix")
else
  echo "hardening: not checked (this build goes without it)"
fi
for binary in "${binaries[@]}"; do
  path="$scratch/root/$binary"
  header=$(readelf -hW "$path"); dynamic=$(readelf -dW "$path"); segments=$(readelf -lW "$path")
  sections=$(readelf -SW "$path"); symbols=$(readelf --dyn-syms -W "$path")
  [[ "$header" == *"DYN (Position-Independent Executable"* || "$binary" == *.so ]] || fail "$binary is not PIE"
  [[ "$segments" == *GNU_RELRO* ]] || fail "$binary has no RELRO"
  [[ "$dynamic" =~ BIND_NOW|Flags:.*NOW ]] || fail "$binary is not linked with BIND_NOW"
  [[ "$symbols" == *__stack_chk_fail* ]] || fail "$binary has no stack protector"
  checked=$(grep -oE '__[a-z0-9_]+_chk\b' <<< "$symbols" | grep -v __stack_chk | sort -u | tr '\n' ' ')
  [[ -n "$checked" ]] || fail "$binary uses no FORTIFY-checked function"
  [[ "$sections" =~ \.symtab|\.debug_ ]] && fail "$binary is not stripped"
  kind=PIE
  [[ "$binary" == *.so ]] && kind="shared object"
  echo "hardening $binary: $kind, full RELRO (BIND_NOW), stack protector, FORTIFY (${checked% }), stripped"
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

# The Python module from its package, found by the interpreter it was built
# for, with no module attached.
if [[ -n "${LUMORA_PYTHON:-}" ]]; then
  site="$scratch/root/usr/lib/python3/dist-packages"
  depends=$(dpkg-deb -f "${debs[1]}" Depends)
  echo "python3-lumora depends: $depends"
  [[ "$depends" == *"lumora (= 1.0.0.1)"* && "$depends" == *"python3 (>= "* ]] ||
    fail "python3-lumora does not depend on lumora and python3"
  imported=$(cd "$scratch" && PYTHONPATH="$site" PYTHONDONTWRITEBYTECODE=1 "$LUMORA_PYTHON" -c \
    'import lumora; print(lumora.__file__, lumora._lumora.__file__, issubclass(lumora.ModuleBusy, lumora.Error))') ||
    fail "the Python module from the package cannot be imported"
  [[ "$imported" == "$site/lumora/__init__.py $site/lumora/_lumora$suffix True" ]] ||
    fail "lumora was imported from elsewhere: $imported"
  echo "python module from the package: import lumora works ($python_dir)"
fi
echo "install test passed"
