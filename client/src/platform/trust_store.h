#pragma once
// The system's trusted root certificates for TLS verification.

#include <mbedtls/x509_crt.h>

#include <string>

namespace vobu {

inline constexpr const char* kSystemTrustBundlePath = "/etc/ssl/certs/ca-certificates.crt";

// Reads the system bundle (PEM text); false when it cannot be read.
bool readSystemTrustBundle(std::string& pem);

// Adds every certificate of a PEM bundle to `chain`. Certificates that do
// not parse are skipped; returns how many were added.
int addTrustAnchors(mbedtls_x509_crt& chain, const std::string& pem);

}  // namespace vobu
