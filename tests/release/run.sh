#!/usr/bin/env bash
# The Windows release as a driver team receives it. From the three DLL
# builds (build/mingw64, build/mingw32, build/mingw-arm64) it makes the
# archive, signed by a throwaway PKI made here (root CA, code-signing and
# time-stamping certificates, a time-stamping server on loopback), then
# unpacks it and checks:
#   - the files of each architecture, LICENSE, README.txt, SHA256SUMS;
#   - every binary's hardening, PDB and imports (scripts/check-windows-binaries.sh);
#   - every signature with osslsigncode against the throwaway root, time
#     stamp included, and a copy with one byte changed refused;
#   - WinVerifyTrust under Wine: 0 for the signed DLLs (x64, ARM64),
#     TRUST_E_NOSIGNATURE for an unsigned one, TRUST_E_BAD_DIGEST for
#     tampered ones (x64, ARM64);
#   - the archive's consumers (tests/consumers/archive.sh).
# Usage: tests/release/run.sh OUTPUT_DIR      (the archive stays there)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:?usage: run.sh OUTPUT_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps32-release.XXXXXX")
tsa_pid=""
stop_tsa() {
  if [ -n "$tsa_pid" ]; then
    kill "$tsa_pid" 2>/dev/null || true
    wait "$tsa_pid" 2>/dev/null || true
    tsa_pid=""
  fi
}
trap 'stop_tsa; rm -rf "$work"' EXIT

# WinVerifyTrust's answers (winerror.h).
trust_ok=0x00000000
trust_e_nosignature=0x800B0100
trust_e_bad_digest=0x80096010

step() { echo "release: $*"; }

step "a throwaway PKI and a time-stamping server on loopback"
pki=$work/pki
mkdir -p "$pki"
"$top/tests/release/throwaway_pki.sh" "$pki"
python3 "$top/tests/release/time_stamp_server.py" "$pki/tsa.cnf" "$pki/port" &
tsa_pid=$!
for _ in $(seq 50); do [ -s "$pki/port" ] && break; sleep 0.1; done
[ -s "$pki/port" ] || { echo "the time-stamping server did not start" >&2; exit 1; }

step "the archive, signed"
zip=$(RKVTPS32_SIGN_CERT=$pki/signing.pem RKVTPS32_SIGN_KEY=$pki/signing.key \
      RKVTPS32_TIMESTAMP_URL=http://127.0.0.1:$(cat "$pki/port") \
      "$top/scripts/package-windows.sh" "$out")
stop_tsa
echo "$zip"
unzip -q "$zip" -d "$work/unpacked"
root=$work/unpacked/$(basename "$zip" .zip)

step "contents and checksums"
for file in LICENSE README.txt SHA256SUMS; do
  [ -s "$root/$file" ] || { echo "missing from the archive: $file" >&2; exit 1; }
done
cmp "$root/LICENSE" "$top/LICENSE"
for arch in x64 x86 arm64; do
  for file in bin/rkvtps32.dll bin/rkvtps32.pdb bin/rkvtps.exe bin/rkvtps.pdb lib/rkvtps32.lib \
              lib/librkvtps32.dll.a lib/rkvtps32.def include/rkvtps32.h \
              lib/cmake/rkvtps32/rkvtps32Config.cmake lib/pkgconfig/rkvtps32.pc; do
    # The tool needs a C++ runtime, which the ARM64 build has not.
    if [ "$arch" = arm64 ] && [[ $file == bin/rkvtps.* ]]; then
      [ ! -e "$root/$arch/$file" ] || { echo "arm64/$file in the archive: the README says it is not" >&2; exit 1; }
      continue
    fi
    [ -s "$root/$arch/$file" ] || { echo "missing from the archive: $arch/$file" >&2; exit 1; }
  done
done
cmp "$root/x64/include/rkvtps32.h" "$root/arm64/include/rkvtps32.h"
cmp "$root/x64/lib/rkvtps32.def" "$root/arm64/lib/rkvtps32.def"
(cd "$root" && sha256sum --quiet -c SHA256SUMS)
echo "SHA256SUMS: $(wc -l < "$root/SHA256SUMS") files agree"

step "hardening, PDBs and imports"
mapfile -t binaries < <(find "$root" -name '*.dll' -o -name '*.exe' | sort)
"$top/scripts/check-windows-binaries.sh" "${binaries[@]}"

step "signatures"
# A copy of FILE with the byte in its middle changed.
tampered_copy() {
  cp "$1" "$2"
  python3 -c 'import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(0, 2); middle = f.tell() // 2; f.seek(middle); byte = f.read(1)
    f.seek(middle); f.write(bytes([byte[0] ^ 0xFF]))' "$2"
}
for binary in "${binaries[@]}"; do
  name=${binary#"$root/"}
  report=$(osslsigncode verify -in "$binary" -CAfile "$pki/root.pem" -TSA-CAfile "$pki/root.pem" 2>&1) ||
    { echo "$report"; echo "$name: the signature does not verify" >&2; exit 1; }
  grep -q "Message digest algorithm  : SHA256" <<< "$report" || { echo "$name: not SHA-256" >&2; exit 1; }
  grep -q "Timestamp Server Signature verification: ok" <<< "$report" ||
    { echo "$name: no verified time stamp" >&2; exit 1; }
  tampered_copy "$binary" "$work/tampered"
  if osslsigncode verify -in "$work/tampered" -CAfile "$pki/root.pem" -TSA-CAfile "$pki/root.pem" >/dev/null 2>&1; then
    echo "$name: a copy with one byte changed still verifies" >&2
    exit 1
  fi
  echo "$name: SHA-256, time-stamped, verifies; a changed copy is refused"
done

step "WinVerifyTrust under Wine"
trust=$work/trust
mkdir -p "$trust"
cp "$root/x64/bin/rkvtps32.dll" "$trust/signed.dll"
cp "$root/arm64/bin/rkvtps32.dll" "$trust/signed-arm64.dll"
cp "$top/build/mingw64/bin/rkvtps32.dll" "$trust/unsigned.dll"
tampered_copy "$root/x64/bin/rkvtps32.dll" "$trust/tampered.dll"
tampered_copy "$root/arm64/bin/rkvtps32.dll" "$trust/tampered-arm64.dll"
cp "$top/build/mingw64/bin/rkvtps32_verify_trust.exe" "$trust/"
# A Windows program ends its lines with CR LF.
answers=$(cd "$trust" && "$top/cmake/wine-run.sh" ./rkvtps32_verify_trust.exe signed.dll signed-arm64.dll \
  unsigned.dll tampered.dll tampered-arm64.dll | tr -d "\r")
echo "$answers"
while read -r file expected; do
  got=$(awk -v f="$file" '$1 == f { print $2 }' <<< "$answers")
  [ "$got" = "$expected" ] || { echo "WinVerifyTrust($file) = ${got:-nothing}, expected $expected" >&2; exit 1; }
done <<EOF
signed.dll $trust_ok
signed-arm64.dll $trust_ok
unsigned.dll $trust_e_nosignature
tampered.dll $trust_e_bad_digest
tampered-arm64.dll $trust_e_bad_digest
EOF

step "consumers of the unpacked archive"
"$top/tests/consumers/archive.sh" "$root"
echo "release: ok"
