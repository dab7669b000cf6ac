#pragma once
// The calendar tree's colour bullets: one 16 x 16 picture per exact colour text (letter case
// counts), made on first request and kept for the run; and the tree's image list, which holds
// the account and state icons followed by the bullets added so far.
//
// UI thread only.
#include <QIcon>
#include <QPixmap>
#include <vector>

#include "foundation/ResultCodes.h"
#include "foundation/memory/RefCounted.h"
#include "platform/string/CString.h"

class RMarlixBullets : public RRefCounted {
public:
    // Empties the cache.
    virtual RResult Reset();
    // The cached bullet of the colour; its id stays the same for the same text.
    virtual int GetBulletIcon(const CStringW& colour);
    virtual QPixmap CreateBulletBitmap(const CStringW& colour);

    const QPixmap& Bitmap(int icon) const { return entries_[static_cast<size_t>(icon)].bitmap; }
    int Count() const { return static_cast<int>(entries_.size()); }

private:
    struct Entry {
        CStringW colour;
        QPixmap bitmap;
    };
    std::vector<Entry> entries_;
};

class RImageList {
public:
    RImageList();
    RImageList(const RImageList&) = delete;
    RImageList& operator=(const RImageList&) = delete;
    ~RImageList();

    // Appends an image; its index.
    int Add(const QIcon& icon);
    const QIcon& Icon(int index) const;
    int Count() const { return static_cast<int>(images_.size()); }

    // The image of the colour's bullet, added to the list when new.
    int GetBulletImageIndex(const CStringW& colour);
    // The image of the colour's bullet, or -1 when it has not been added yet.
    int FindBulletImageIndex(const CStringW& colour);

    RMarlixBullets& Bullets() { return *bullets_; }

private:
    RMarlixBullets* bullets_;
    std::vector<QIcon> images_;
    std::vector<std::pair<int, int>> bulletImages_;  // bullet id, image index
};
