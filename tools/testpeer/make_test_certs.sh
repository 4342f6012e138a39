#!/usr/bin/env bash
# Makes the certificates of one TLS test run in DIR:
#   ca.crt           a test root, the only anchor of bundle.pem
#   good.crt/.key    localhost, signed by the root
#   other.crt/.key   another host name, signed by the root
#   expired.crt/.key localhost, signed by the root, already expired
#   self.crt/.key    localhost, signed by itself
#   bundle.pem       a broken block followed by the root
set -euo pipefail
dir="$1"
mkdir -p "$dir"
cd "$dir"
quiet() { "$@" >/dev/null 2>&1; }

quiet openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ca.key -out ca.crt -subj "/CN=Vobu Test Root" -days 2

leaf() {  # name common-name days
  printf 'subjectAltName=DNS:%s\nbasicConstraints=CA:FALSE\n' "$2" > "$1.ext"
  quiet openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2"
  quiet openssl x509 -req -in "$1.csr" -CA ca.crt -CAkey ca.key -CAcreateserial -out "$1.crt" -days "$3" -extfile "$1.ext"
}
leaf good localhost 2
leaf other other.example 2
leaf expired localhost -1

printf 'subjectAltName=DNS:localhost\n' > self.ext
quiet openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout self.key -out self.crt -subj "/CN=localhost" -days 2 -addext "subjectAltName=DNS:localhost"

{
  printf -- '-----BEGIN CERTIFICATE-----\nbm90IGEgY2VydGlmaWNhdGU=\n-----END CERTIFICATE-----\n'
  cat ca.crt
} > bundle.pem
