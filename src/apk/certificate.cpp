#include "apk/certificate.h"

#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <memory>

namespace velmora::apk {
namespace {

struct X509Free {
  void operator()(X509* certificate) const { X509_free(certificate); }
};

// The keywords Java's distinguished names use for the attribute types.
struct Keyword {
  int nid;
  const char* name;
};
constexpr std::array kKeywords{
    Keyword{NID_commonName, "CN"},
    Keyword{NID_countryName, "C"},
    Keyword{NID_localityName, "L"},
    Keyword{NID_stateOrProvinceName, "ST"},
    Keyword{NID_organizationName, "O"},
    Keyword{NID_organizationalUnitName, "OU"},
    Keyword{NID_title, "T"},
    Keyword{NID_streetAddress, "STREET"},
    Keyword{NID_domainComponent, "DC"},
    Keyword{NID_dnQualifier, "DNQUALIFIER"},
    Keyword{NID_surname, "SURNAME"},
    Keyword{NID_givenName, "GIVENNAME"},
    Keyword{NID_initials, "INITIALS"},
    Keyword{NID_generationQualifier, "GENERATION"},
    Keyword{NID_pkcs9_emailAddress, "EMAILADDRESS"},
    Keyword{NID_userId, "UID"},
    Keyword{NID_serialNumber, "SERIALNUMBER"},
};

std::string KeywordOf(const ASN1_OBJECT* type) {
  const int nid = OBJ_obj2nid(type);
  for (const Keyword& keyword : kKeywords) {
    if (keyword.nid == nid) return keyword.name;
  }
  char dotted[128];
  OBJ_obj2txt(dotted, sizeof dotted, type, 1);
  return std::string("OID.") + dotted;
}

// A value as Java quotes it: whole, in double quotes, when it holds a
// character that would otherwise end or split it.
std::string QuotedValue(std::string value) {
  const bool plain = value.find_first_of(",+=\"\\<>#;\n") == std::string::npos &&
                     !value.starts_with(' ') && !value.ends_with(' ');
  if (plain) return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

std::string EntryValue(X509_NAME_ENTRY* entry) {
  unsigned char* utf8 = nullptr;
  const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(entry));
  if (length < 0) return {};
  std::string value(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(length));
  OPENSSL_free(utf8);
  return value;
}

// The name's attributes from the last stored to the first; those of one
// multi-valued part joined with " + ".
std::string JavaDistinguishedName(const X509_NAME* name) {
  std::string text;
  int previousSet = -1;
  for (int i = X509_NAME_entry_count(name); i-- > 0;) {
    X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
    const int set = X509_NAME_ENTRY_set(entry);
    if (!text.empty()) text += set == previousSet ? " + " : ", ";
    previousSet = set;
    text += KeywordOf(X509_NAME_ENTRY_get_object(entry)) + "=" + QuotedValue(EntryValue(entry));
  }
  return text;
}

std::string UtcText(const ASN1_TIME* time) {
  std::tm parts{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) return {};
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

std::string KeyAlgorithm(const EVP_PKEY* key) {
  switch (EVP_PKEY_get_base_id(key)) {
    case EVP_PKEY_RSA:
    case EVP_PKEY_RSA_PSS:
      return "RSA";
    case EVP_PKEY_EC:
      return "EC";
    case EVP_PKEY_DSA:
      return "DSA";
    default: {
      const char* name = EVP_PKEY_get0_type_name(key);
      return name != nullptr ? name : "?";
    }
  }
}

std::string PublicKeyDer(X509* certificate) {
  unsigned char* der = nullptr;
  const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &der);
  if (length <= 0) return {};
  std::string bytes(reinterpret_cast<char*>(der), static_cast<std::size_t>(length));
  OPENSSL_free(der);
  return bytes;
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return hex;
}

Parsed<CertificateFacts> ReadCertificate(std::string_view der) {
  const auto* start = reinterpret_cast<const unsigned char*>(der.data());
  const unsigned char* next = start;
  std::unique_ptr<X509, X509Free> certificate(
      d2i_X509(nullptr, &next, static_cast<long>(der.size())));
  if (!certificate || next != start + der.size()) return FormatError{"证书无法读取"};
  CertificateFacts facts;
  facts.sha256 = Sha256Hex(der);
  facts.subject = JavaDistinguishedName(X509_get_subject_name(certificate.get()));
  facts.notBefore = UtcText(X509_get0_notBefore(certificate.get()));
  facts.notAfter = UtcText(X509_get0_notAfter(certificate.get()));
  facts.publicKey = PublicKeyDer(certificate.get());
  const EVP_PKEY* key = X509_get0_pubkey(certificate.get());
  if (key == nullptr) return FormatError{"证书的公钥无法读取"};
  facts.keyAlgorithm = KeyAlgorithm(key);
  facts.keyBits = EVP_PKEY_get_bits(key);
  return facts;
}

}  // namespace velmora::apk
