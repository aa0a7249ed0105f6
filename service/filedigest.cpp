#include "service/filedigest.h"

#include <openssl/evp.h>

#include <array>
#include <cctype>
#include <fstream>
#include <memory>

namespace {

constexpr std::size_t kSha256HexChars = 64;

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

std::string sha256HexOfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return {};
    }
    std::array<char, 65536> block{};
    while (in) {
        in.read(block.data(), block.size());
        const std::streamsize got = in.gcount();
        if (got > 0 &&
            EVP_DigestUpdate(context.get(), block.data(), static_cast<std::size_t>(got)) != 1) {
            return {};
        }
    }
    if (in.bad()) {
        return {};
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) {
        return {};
    }
    static const char* const kHex = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0f];
    }
    return hex;
}

bool sameSha256(const std::string& hex, const std::string& expected) {
    if (expected.size() != kSha256HexChars || hex.size() != kSha256HexChars) {
        return false;
    }
    for (std::size_t i = 0; i < kSha256HexChars; ++i) {
        const auto want = static_cast<unsigned char>(expected[i]);
        if (std::isxdigit(want) == 0 ||
            std::tolower(want) != std::tolower(static_cast<unsigned char>(hex[i]))) {
            return false;
        }
    }
    return true;
}
