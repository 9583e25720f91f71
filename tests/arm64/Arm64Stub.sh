#!/usr/bin/env bash
# The ARM64 stub as it leaves the build, checked where no machine runs it:
# its image, and an installer that sfxpack builds with it (found by
# --arch arm64, branded), inspects and verifies.
#
#   Arm64Stub.sh STUB SFXPACK FOLDER
#
# FOLDER is the test's own and is emptied first.
set -euo pipefail
stub=$1 sfxpack=$2 work=$3

fail() { echo "FAIL: $*" >&2; exit 1; }

[ -f "$stub" ] || fail "no ARM64 stub at $stub: build the windowsarm64 configuration (scripts/build)"
rm -rf "$work"
mkdir -p "$work/stubs" "$work/payload"

kind=$(file -b "$stub")
[[ $kind == "PE32+ executable (GUI) Aarch64"* ]] || fail "file calls the stub: $kind"

cp "$stub" "$work/stubs/setupsfxarm64.exe"
echo "setup" >"$work/payload/setup.exe"
printf '[main]\nProductName=ARM64 Sample\nSetupFileName=setup.exe\n' >"$work/config.txt"
SFXPACK_STUB_DIR=$work/stubs "$sfxpack" build --arch arm64 --strict --config "$work/config.txt" \
  --folder "$work/payload" --product-name "ARM64 Sample" --product-version 1.2.3.4 \
  --output "$work/setup.exe" || fail "sfxpack build --arch arm64"

inspected=$("$sfxpack" inspect "$work/setup.exe") || fail "sfxpack inspect"
grep -q "PE32+, ARM64 (the ARM64 stub)" <<<"$inspected" || fail "inspect says: $inspected"
grep -q "1.2.3.4" <<<"$inspected" || fail "inspect shows no product version: $inspected"
"$sfxpack" verify "$work/setup.exe" || fail "sfxpack verify"
echo "ok: the ARM64 stub is PE32+ for ARM64, and sfxpack builds, brands, inspects and verifies an installer with it"
