#pragma once

#include <string>
#include <string_view>

#include "apk/format_error.h"

namespace velmora::apk {

// What a user asks of a signer's X.509 certificate.
struct CertificateFacts {
  std::string sha256;     // of the DER bytes, lowercase hex
  std::string subject;    // the distinguished name, most significant part first
  std::string notBefore;  // UTC, as 2024-01-31T12:00:00Z
  std::string notAfter;
  std::string keyAlgorithm;  // RSA, EC or DSA; another algorithm by its OpenSSL name
  int keyBits = 0;
  std::string publicKey;  // SubjectPublicKeyInfo, DER
};

// Reads a DER certificate with OpenSSL. The subject is written as Java writes
// a distinguished name (the order and keywords apksigner prints: "CN=Android
// Debug, O=Android, C=US" for a name stored C, O, CN). Fails on bytes that are
// no certificate, or trail one.
Parsed<CertificateFacts> ReadCertificate(std::string_view der);

// The SHA-256 of `bytes` in lowercase hex.
std::string Sha256Hex(std::string_view bytes);

}  // namespace velmora::apk
