#include "TestPki.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace qm::test {
namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;

void check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string("test PKI: ") + what);
}

KeyPtr makeKey() {
    // EC keys are generated in microseconds, unlike RSA.
    KeyPtr key(EVP_EC_gen("prime256v1"), &EVP_PKEY_free);
    check(key != nullptr, "key generation");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    check(ext != nullptr, "extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

// A certificate for `subjectKey`, signed by `issuerKey` (issuer null: self-signed).
CertPtr makeCert(EVP_PKEY* subjectKey, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, bool isCa,
                 const char* subjectAltNames, long serial) {
    CertPtr cert(X509_new(), &X509_free);
    check(cert != nullptr, "certificate");
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 60L * 60 * 24 * 30);
    X509_set_pubkey(cert.get(), subjectKey);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Quillmere32 tests"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer != nullptr ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    if (isCa) {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert.get(), signer, NID_basic_constraints, "CA:FALSE");
        addExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
        addExtension(cert.get(), signer, NID_subject_alt_name, subjectAltNames);
    }
    addExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
    check(X509_sign(cert.get(), issuerKey != nullptr ? issuerKey : subjectKey, EVP_sha256()) > 0, "signing");
    return cert;
}

void writeCert(const std::string& path, X509* cert) {
    FILE* f = std::fopen(path.c_str(), "w");
    check(f != nullptr, "cannot write certificate file");
    const bool ok = PEM_write_X509(f, cert) == 1;
    std::fclose(f);
    check(ok, "PEM certificate");
}

void writeKey(const std::string& path, EVP_PKEY* key) {
    FILE* f = std::fopen(path.c_str(), "w");
    check(f != nullptr, "cannot write key file");
    const bool ok = PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    std::fclose(f);
    check(ok, "PEM key");
}

} // namespace

TestPki::TestPki(const std::string& folder) {
    std::filesystem::create_directories(folder);
    const std::string dir = folder + "/";
    m_caFile = dir + "ca.pem";
    m_serverCert = dir + "server.pem";
    m_serverKey = dir + "server.key";
    m_wrongCert = dir + "wronghost.pem";
    m_wrongKey = dir + "wronghost.key";
    m_selfCert = dir + "selfsigned.pem";
    m_selfKey = dir + "selfsigned.key";

    KeyPtr caKey = makeKey();
    CertPtr ca = makeCert(caKey.get(), "Quillmere32 Test CA", nullptr, nullptr, true, nullptr, 1);
    writeCert(m_caFile, ca.get());

    KeyPtr serverKey = makeKey();
    CertPtr server =
        makeCert(serverKey.get(), "localhost", ca.get(), caKey.get(), false, "DNS:localhost,IP:127.0.0.1", 2);
    writeCert(m_serverCert, server.get());
    writeKey(m_serverKey, serverKey.get());

    KeyPtr wrongKey = makeKey();
    CertPtr wrong =
        makeCert(wrongKey.get(), "mail.example.invalid", ca.get(), caKey.get(), false, "DNS:mail.example.invalid", 3);
    writeCert(m_wrongCert, wrong.get());
    writeKey(m_wrongKey, wrongKey.get());

    KeyPtr selfKey = makeKey();
    CertPtr self = makeCert(selfKey.get(), "localhost", nullptr, nullptr, false, "DNS:localhost,IP:127.0.0.1", 4);
    writeCert(m_selfCert, self.get());
    writeKey(m_selfKey, selfKey.get());
}

ScopedCaFile::ScopedCaFile(const std::string& caFile) {
    if (const char* old = std::getenv("SSL_CERT_FILE")) {
        m_had = true;
        m_old = old;
    }
    ::setenv("SSL_CERT_FILE", caFile.c_str(), 1);
}

ScopedCaFile::~ScopedCaFile() {
    if (m_had)
        ::setenv("SSL_CERT_FILE", m_old.c_str(), 1);
    else
        ::unsetenv("SSL_CERT_FILE");
}

} // namespace qm::test
