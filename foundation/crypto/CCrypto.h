#pragma once
// Enciphers short secrets (account passwords) for storage. The key is RC2, derived from the MD5
// hash of a pass phrase; what is enciphered is the archive image of the text or object, built
// in a memory file that every call reuses, so one instance serves one thread at a time.
// Threads: one thread at a time per instance (the memory file is reused); separate instances are
// independent.
#include <memory>
#include <optional>

#include "platform/archive/CArchive.h"
#include "platform/archive/CMemFile.h"
#include "platform/archive/CObject.h"
#include "platform/crypto/Md5Hash.h"
#include "platform/crypto/Rc2Key.h"
#include "platform/string/CByteArray.h"
#include "platform/string/CString.h"

namespace MFC {

class CCrypto {
public:
    CCrypto();
    virtual ~CCrypto();
    CCrypto(const CCrypto&) = delete;
    CCrypto& operator=(const CCrypto&) = delete;

    // Keys the cipher from the MD5 hash of the pass phrase's UTF-16LE characters.
    virtual bool DeriveKey(CStringW passPhrase);
    virtual bool EncryptString(const CStringW& text, CByteArray& out);
    // A null object is refused.
    virtual bool EncryptObject(CObject* object, CByteArray& out);
    // `out` is changed only on success.
    virtual bool DecryptString(const CByteArray& in, CStringW& out);
    // The object may be partly read when the image turns out bad.
    virtual bool DecryptObject(const CByteArray& in, CObject* object);
    // Enciphers the memory file's contents into `out` and empties the file.
    virtual bool EncryptMemFile(CByteArray& out);
    // Deciphers `in` into the memory file and rewinds it; the file is empty on failure.
    virtual bool DecryptToMemFile(const CByteArray& in);

private:
    std::unique_ptr<platform::Md5Hash> hash;
    std::optional<platform::Rc2Key> key;
    CMemFile memoryFile{1024};
};

}  // namespace MFC
