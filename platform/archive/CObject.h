#pragma once
// An object that writes itself to an archive and reads itself back from one.
// Threads: one thread at a time, as the archive it is written to.
namespace platform {

class CArchive;

class CObject {
public:
    virtual ~CObject() = default;
    // Writes the object when the archive is storing, reads it when loading. A reader that meets
    // bad data leaves the archive failed (CArchive::Failed) rather than throwing.
    virtual void Serialize(CArchive& ar) = 0;
};

}  // namespace platform

using platform::CObject;
