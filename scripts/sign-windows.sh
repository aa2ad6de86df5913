#!/bin/sh
# Signs Windows DLLs and programs in place with an Authenticode signature:
# SHA-256, and an RFC 3161 time stamp so that the signature outlives the
# certificate. The certificate, key and time-stamping server come from the
# environment and never from the repository:
#   RKVTPS32_SIGN_CERT      the code-signing certificate and its chain (PEM)
#   RKVTPS32_SIGN_KEY       its private key (PEM)
#   RKVTPS32_SIGN_PASSFILE  a file holding the key's passphrase (optional)
#   RKVTPS32_TIMESTAMP_URL  the RFC 3161 time-stamping server
# Usage: sign-windows.sh FILE...
set -eu
: "${RKVTPS32_SIGN_CERT:?the code-signing certificate (PEM) is not set}"
: "${RKVTPS32_SIGN_KEY:?the code-signing key (PEM) is not set}"
: "${RKVTPS32_TIMESTAMP_URL:?the RFC 3161 time-stamping server is not set: an untimestamped signature expires with its certificate}"

signed=""
trap 'rm -f "$signed"' EXIT
for file in "$@"; do  # the list is read once: the loop's own "set --" leaves it alone
  signed="$file.signing"
  set --
  [ -n "${RKVTPS32_SIGN_PASSFILE:-}" ] && set -- -readpass "$RKVTPS32_SIGN_PASSFILE"
  osslsigncode sign -certs "$RKVTPS32_SIGN_CERT" -key "$RKVTPS32_SIGN_KEY" "$@" \
    -h sha256 -n rkvtps32 -ts "$RKVTPS32_TIMESTAMP_URL" -in "$file" -out "$signed" >/dev/null
  mv "$signed" "$file"
  echo "signed: $file"
done
