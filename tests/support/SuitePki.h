#pragma once

// A test fixture whose cases share one set of test certificates, made once per suite, and trust
// its authority (SSL_CERT_FILE) while each case runs. Header only: it needs GoogleTest, which
// the support library itself does not link.

#include "TestPaths.h"
#include "TestPki.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

namespace qm::test {

class SuitePkiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_pki = std::make_unique<TestPki>(Folder()); }
    static void TearDownTestSuite() {
        s_pki.reset();
        std::filesystem::remove_all(Folder());
    }
    // Also a scratch folder for the suite's own files.
    static std::string Folder() { return std::string(QM_TEST_TMP_DIR) + "/pki-" + std::to_string(::getpid()); }
    static const TestPki& Pki() { return *s_pki; }

private:
    inline static std::unique_ptr<TestPki> s_pki;

protected:
    ScopedCaFile m_trust{s_pki->CaFile()};
};

} // namespace qm::test
