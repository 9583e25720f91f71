#!/usr/bin/env bash
# Archives made by the 7z writers of the build machine (7zz and bsdtar),
# each packed into an installer with sfxpack, checked with verify and
# extracted by the stub under Wine (/q /x), then compared byte for byte with
# the tree it was made of; or refused by sfxpack build with the reason.
#
#   Compatibility.sh STUB SFXPACK FOLDER [pe32]
#
# FOLDER is the test's own and is emptied first. pe32 runs only the rows
# marked for the PE32 stub, which runs under software emulation here.
set -euo pipefail
stub=$1 sfxpack=$2 work=$3 only=${4:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
scale=${SETUPSFX_TIME_SCALE:-1}

# name | pe32 | expected: same, built (enciphered: no extraction without
# the password dialog) or refused:TEXT | the writer's command, run in the
# tree with the archive's path in $archive (7zz gets it at the end;
# "folder": sfxpack packs the tree with 7-Zip's defaults). Rows named
# executables* pack programs for ARM64 (PE, ARM64EC, ELF) and RISC-V (PE,
# ELF); 7-Zip chooses their filters by looking into them, RISCV only for
# -myv=2402 and above; the fifth field names the filters 7-Zip's listing of
# the installer must show. bsdtar stores links as links unless -L.
rows=(
  "lzma||same|7zz a -m0=LZMA"
  "lzma2-one-block||same|7zz a -m0=LZMA2 -mmt=1"
  "lzma2-many-blocks||same|7zz a -m0=LZMA2:d=64k:c=128k -mmt=2"
  "ppmd||same|7zz a -m0=PPMd"
  "bzip2|pe32|same|7zz a -m0=BZip2"
  "deflate|pe32|same|7zz a -m0=Deflate"
  "deflate64|pe32|same|7zz a -m0=Deflate64"
  "copy||same|7zz a -m0=Copy"
  "bcj||same|7zz a -mf=BCJ"
  "bcj2||same|7zz a -mf=BCJ2"
  "arm64|pe32|same|7zz a -mf=ARM64"
  "riscv|pe32|same|7zz a -mf=RISCV"
  "arm||same|7zz a -mf=ARM"
  "armt||same|7zz a -mf=ARMT"
  "ppc||same|7zz a -mf=PPC"
  "ia64||same|7zz a -mf=IA64"
  "sparc||same|7zz a -mf=SPARC"
  "delta||same|7zz a -mf=Delta:4"
  "not-solid||same|7zz a -ms=off"
  "header-not-compressed||same|7zz a -mhc=off"
  "stored-links||refused:holds the symbolic link(s) \"link-to-numbers\"|7zz a -snl"
  "bsdtar-links||refused:holds the symbolic link(s) \"./link-to-numbers\"|bsdtar --format 7zip -cf \"\$archive\" ."
  "enciphered-data||built|7zz a -psecret"
  "enciphered-headers||built|7zz a -psecret -mhe=on"
  "bsdtar-dot-slash||same|bsdtar -L --format 7zip -cf \"\$archive\" ."
  "bsdtar-names||same|bsdtar -L --format 7zip -cf \"\$archive\" *"
  "bsdtar-bzip2||same|bsdtar -L --format 7zip --options 7zip:compression=bzip2 -cf \"\$archive\" ."
  "bsdtar-deflate||same|bsdtar -L --format 7zip --options 7zip:compression=deflate -cf \"\$archive\" ."
  "bsdtar-ppmd||same|bsdtar -L --format 7zip --options 7zip:compression=ppmd -cf \"\$archive\" ."
  "bsdtar-store||same|bsdtar -L --format 7zip --options 7zip:compression=store -cf \"\$archive\" ."
  "executables|pe32|same|folder|ARM64"
  "executables-riscv-analysis|pe32|same|7zz a -myv=2402|ARM64 RISCV"
)

# Writes hex bytes into a file at an offset.
poke() { printf "$3" | dd of="$1" bs=1 seek=$(($2)) conv=notrunc status=none; }

# A program image for another machine: its header, and machine code behind
# it that the branch filters rewrite (taken from 7zz itself).
image() {
  local file=$1 kind=$2
  dd if="$(command -v 7zz)" of="$file" bs=4096 skip=16 count=16 status=none
  case $kind in
    pe-*)
      poke "$file" 0 'MZ'
      poke "$file" 0x3c '\x80\x00\x00\x00'
      poke "$file" 0x80 'PE\x00\x00'
      poke "$file" 0x86 '\x01\x00'
      poke "$file" 0x94 '\xf0\x00'
      poke "$file" 0x98 '\x0b\x02'
      case $kind in
        pe-arm64) poke "$file" 0x84 '\x64\xaa'; poke "$file" 0x188 '.text\x00\x00\x00' ;;
        pe-arm64ec) poke "$file" 0x84 '\x64\x86'; poke "$file" 0x188 '.a64xrm\x00' ;;
        pe-riscv) poke "$file" 0x84 '\x64\x50'; poke "$file" 0x188 '.text\x00\x00\x00' ;;
      esac ;;
    elf-*)
      poke "$file" 0 '\x7fELF\x02\x01\x01'
      case $kind in
        elf-aarch64) poke "$file" 0x12 '\xb7\x00' ;;
        elf-riscv) poke "$file" 0x12 '\xf3\x00' ;;
      esac ;;
  esac
}

make_tree() {
  local tree=$1
  mkdir -p "$tree/doc/nested/deeper" "$tree/bin" "$tree/empty folder"
  seq 1 40000 > "$tree/doc/numbers.txt"
  cp "$root/README.md" "$tree/doc/nested/deeper/readme.txt"
  dd if="$(command -v 7zz)" of="$tree/bin/code.bin" bs=4096 skip=64 count=96 status=none
  : > "$tree/empty.txt"
  printf 'caf\xc3\xa9\n' > "$tree/doc/caf$(printf '\xc3\xa9')-$(printf '\xce\xa9').txt"
  echo blank > "$tree/doc/with blank.txt"
  ln -s doc/numbers.txt "$tree/link-to-numbers"
}

make_executables() {
  local tree=$1
  mkdir -p "$tree/arm64" "$tree/riscv"
  image "$tree/arm64/app.exe" pe-arm64
  image "$tree/arm64/appec.exe" pe-arm64ec
  image "$tree/arm64/app" elf-aarch64
  image "$tree/riscv/app" elf-riscv
  image "$tree/riscv/app.exe" pe-riscv
  # 7-Zip looks into a file without extension when it may be executed.
  chmod 755 "$tree/arm64/app" "$tree/riscv/app"
}

# Windows's path of a file on this machine: Wine maps drive Z: to /.
windows_path() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }

rm -rf "$work"
mkdir -p "$work"
printf '[main]\r\nProductName=Compatibility\r\n' > "$work/config.txt"
failures=0
fail() { echo "FAILED $1: $2"; failures=$((failures + 1)); }

for row in "${rows[@]}"; do
  IFS='|' read -r name label expected command filters <<<"$row"
  [ "$only" != pe32 ] || [ "$label" = pe32 ] || continue
  dir=$work/$name tree=$work/$name/tree archive=$work/$name/payload.7z
  mkdir -p "$dir"
  case $name in
    executables*) make_executables "$tree" ;;
    *) make_tree "$tree" ;;
  esac
  if [ "$command" = folder ]; then
    source=(--folder "$tree")
  else
    [ "${command%% *}" != 7zz ] || command+=' -bso0 -bsp0 "$archive"'
    (cd "$tree" && export archive && eval "$command" > "$dir/writer.log" 2>&1) ||
      { fail "$name" "the writer failed: $(cat "$dir/writer.log")"; continue; }
    source=(--archive "$archive")
  fi
  # A stored link arrives as the file it names: that is the tree to expect.
  [ -L "$tree/link-to-numbers" ] && { rm "$tree/link-to-numbers"; cp "$tree/doc/numbers.txt" "$tree/link-to-numbers"; }

  status=0
  "$sfxpack" build --stub "$stub" --config "$work/config.txt" "${source[@]}" --output "$dir/setup.exe" \
    > "$dir/build.log" 2>&1 || status=$?
  case $expected in
    refused:*)
      text=${expected#refused:}
      if [ $status -ne 1 ] || ! grep -qF -- "$text" "$dir/build.log"; then
        fail "$name" "expected build to refuse it with \"$text\"; exit $status: $(cat "$dir/build.log")"
      fi
      [ ! -e "$dir/setup.exe" ] || fail "$name" "a refused build wrote an installer"
      continue ;;
  esac
  [ $status -eq 0 ] || { fail "$name" "build exit $status: $(cat "$dir/build.log")"; continue; }
  "$sfxpack" verify "$dir/setup.exe" > "$dir/verify.log" 2>&1 ||
    { fail "$name" "verify: $(cat "$dir/verify.log")"; continue; }
  [ "$expected" = built ] && continue
  for filter in $filters; do
    7zz l -slt "$dir/setup.exe" | grep -q "^Method = \(.* \)\?$filter " ||
      fail "$name" "7-Zip used no $filter filter: $(7zz l -slt "$dir/setup.exe" | grep '^Method = .' | sort -u)"
  done

  status=0
  timeout $((120 * scale)) "$root/scripts/wine-run" "$dir/setup.exe" /q /x "$(windows_path "$dir/out")" \
    > "$dir/run.log" 2>&1 || status=$?
  [ $status -eq 0 ] || { fail "$name" "the installer exited with $status: $(tail -5 "$dir/run.log")"; continue; }
  diff -r "$tree" "$dir/out" > "$dir/diff.log" 2>&1 ||
    { fail "$name" "the extracted files differ: $(head -5 "$dir/diff.log")"; continue; }
  echo "ok $name"
done

[ $failures -eq 0 ] || { echo "$failures row(s) failed"; exit 1; }
