#include "platform/crypto/DefaultKeyDerivation.h"

#include <algorithm>

namespace platform {

DefaultRc2KeyMaterial DefaultRc2KeyBytes(const Md5Digest& hashValue) {
    DefaultRc2KeyMaterial material{};  // the salt stays zero
    std::copy_n(hashValue.begin(), kDefaultRc2KeyBytes, material.begin());
    return material;
}

Rc2Key DeriveDefaultRc2Key(const Md5Hash& hash) {
    const DefaultRc2KeyMaterial material = DefaultRc2KeyBytes(hash.Value());
    // The sizes are fixed and valid, so Create cannot refuse them.
    return *Rc2Key::Create(material, kDefaultRc2EffectiveBits);
}

}  // namespace platform
