#!/bin/bash
# Makes the secure-connection tests' own certificates in <folder> (the build runs it once):
#   ca.crt, ca.der        the test CA, which the tests trust in their Wine prefix for their run only
#   localhost.crt/.key    signed by the test CA for localhost and 127.0.0.1: the good server
#   wrongname.crt/.key    signed by the test CA for another name: a host-name mismatch
#   untrusted.crt/.key    for localhost and 127.0.0.1, signed by a second CA nobody trusts
# A stamp file marks a complete set; an incomplete one is made again from scratch.
set -euo pipefail
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

out=${1:?usage: $0 <folder>}
[ -f "$out/complete" ] && exit 0
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
days=3650

make_ca() {  # name subject
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days $days -subj "$2" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -keyout "$work/$1.key" -out "$work/$1.crt" 2>/dev/null
}

make_server() {  # name ca common-name subject-alt-names
    openssl req -new -newkey rsa:2048 -nodes -sha256 -subj "/CN=$3" \
        -keyout "$work/$1.key" -out "$work/$1.csr" 2>/dev/null
    printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature,keyEncipherment" \
        "extendedKeyUsage=serverAuth" "subjectAltName=$4" >"$work/$1.ext"
    openssl x509 -req -sha256 -days $days -in "$work/$1.csr" -CA "$work/$2.crt" -CAkey "$work/$2.key" \
        -CAcreateserial -extfile "$work/$1.ext" -out "$work/$1.crt" 2>/dev/null
}

make_ca ca "/O=Zel tests/CN=Zel Test CA"
make_ca otherca "/O=Zel tests/CN=Zel Untrusted Test CA"
make_server localhost ca localhost "DNS:localhost,IP:127.0.0.1"
make_server wrongname ca wrong.zel.invalid "DNS:wrong.zel.invalid"
make_server untrusted otherca localhost "DNS:localhost,IP:127.0.0.1"
openssl x509 -in "$work/ca.crt" -outform DER -out "$work/ca.der"

for f in ca.crt ca.der localhost.crt localhost.key wrongname.crt wrongname.key untrusted.crt untrusted.key; do
    cp "$work/$f" "$out/$f"
done
chmod 644 "$out"/*
touch "$out/complete"
