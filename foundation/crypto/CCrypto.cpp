#include "foundation/crypto/CCrypto.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/crypto/DefaultKeyDerivation.h"

namespace MFC {

CCrypto::CCrypto() : hash(std::make_unique<platform::Md5Hash>()) {}

CCrypto::~CCrypto() { memoryFile.Close(); }

bool CCrypto::DeriveKey(CStringW passPhrase) {
    if (!hash) {
        return false;
    }
    // A fresh hash object, so that only this pass phrase makes the key.
    hash = std::make_unique<platform::Md5Hash>();
    key.reset();

    const std::u16string& chars = passPhrase.Str();
    std::vector<std::uint8_t> bytes(chars.size() * 2);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(chars[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(chars[i] >> 8);
    }
    hash->HashData(bytes.data(), bytes.size());
    key = platform::DeriveDefaultRc2Key(*hash);
    return true;
}

bool CCrypto::EncryptString(const CStringW& text, CByteArray& out) {
    if (!key) {
        return false;
    }
    memoryFile.Close();
    CArchive ar(memoryFile, CArchive::store);
    ar << text;
    ar.Close();
    if (ar.Failed()) {
        memoryFile.Close();
        return false;
    }
    return EncryptMemFile(out);
}

bool CCrypto::EncryptObject(CObject* object, CByteArray& out) {
    if (!key || object == nullptr) {
        return false;
    }
    memoryFile.Close();
    CArchive ar(memoryFile, CArchive::store);
    object->Serialize(ar);
    ar.Close();
    if (ar.Failed()) {
        memoryFile.Close();
        return false;
    }
    return EncryptMemFile(out);
}

bool CCrypto::DecryptString(const CByteArray& in, CStringW& out) {
    if (!key || !DecryptToMemFile(in)) {
        return false;
    }
    CArchive ar(memoryFile, CArchive::load);
    CStringW text;
    ar >> text;
    ar.Close();
    // A deciphered image that does not parse (a wrong key can pass the padding check) is a
    // failure, not an empty or partial text.
    if (ar.Failed()) {
        return false;
    }
    out = std::move(text);
    return true;
}

bool CCrypto::DecryptObject(const CByteArray& in, CObject* object) {
    if (!key || object == nullptr || !DecryptToMemFile(in)) {
        return false;
    }
    CArchive ar(memoryFile, CArchive::load);
    object->Serialize(ar);
    ar.Close();
    return !ar.Failed();
}

bool CCrypto::EncryptMemFile(CByteArray& out) {
    if (!key) {
        memoryFile.Close();
        return false;
    }
    std::size_t length = memoryFile.GetLength();
    // Room for the padding even when the image is shorter than one block.
    if (!memoryFile.SetLength(platform::Rc2Key::EncipheredLength(length))) {
        memoryFile.Close();
        return false;
    }
    std::vector<std::uint8_t> buffer = memoryFile.Detach();
    if (!key->EncryptFinal(std::span<std::uint8_t>(buffer), length) || length > static_cast<std::size_t>(INT_MAX)) {
        return false;
    }
    out.SetSize(static_cast<int>(length));
    std::copy_n(buffer.begin(), length, out.GetData());
    return true;
}

bool CCrypto::DecryptToMemFile(const CByteArray& in) {
    memoryFile.Close();
    if (!key) {
        return false;
    }
    if (!memoryFile.Write(in.GetData(), static_cast<std::size_t>(in.GetSize()))) {
        memoryFile.Close();
        return false;
    }
    std::vector<std::uint8_t> buffer = memoryFile.Detach();
    std::size_t length = buffer.size();
    if (!key->DecryptFinal(std::span<std::uint8_t>(buffer), length)) {
        return false;
    }
    if (!memoryFile.Write(buffer.data(), length)) {
        memoryFile.Close();
        return false;
    }
    memoryFile.SeekToBegin();
    return true;
}

}  // namespace MFC
