#!/bin/sh
# A throwaway PKI for signing a release in CI, made in DIR at run time and
# never kept: a root CA, a code-signing certificate and a time-stamping
# certificate it issued, and the time-stamping server's openssl settings.
# Usage: throwaway_pki.sh DIR
set -eu
dir=$1
cd "$dir"
subject="/O=rkvtps32 throwaway CI PKI"
key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1" 2>/dev/null; }

# What each certificate may do: a CA; signing code; signing time stamps.
cat > extensions.cnf <<'CNF'
[root]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[code_signing]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[time_stamping]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

key root.key
openssl req -new -x509 -key root.key -subj "$subject/CN=Root CA" -days 2 -sha256 \
  -config extensions.cnf -extensions root -out root.pem 2>/dev/null
issue() {  # name common-name extensions
  key "$1.key"
  openssl req -new -key "$1.key" -subj "$subject/CN=$2" -config /dev/null -out "$1.csr" 2>/dev/null
  openssl x509 -req -in "$1.csr" -CA root.pem -CAkey root.key -CAcreateserial -days 1 -sha256 \
    -extfile extensions.cnf -extensions "$3" -out "$1.pem" 2>/dev/null
}
issue signing "rkvtps32 code signing" code_signing
issue tsa "rkvtps32 time stamping" time_stamping

cat > tsa.cnf <<CNF
[tsa]
default_tsa = tsa_config
[tsa_config]
serial = $dir/tsa.serial
crypto_device = builtin
signer_cert = $dir/tsa.pem
certs = $dir/root.pem
signer_key = $dir/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.99999.1
digests = sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = yes
ess_cert_id_chain = no
ess_cert_id_alg = sha256
CNF
echo 01 > tsa.serial
