#include "ui/view/RMarlixBullets.h"

#include <QPainter>

#include "foundation/text/CalendarColor.h"
#include "platform/ui/GdiShapes.h"

RResult RMarlixBullets::Reset() {
    entries_.clear();
    return R_OK;
}

int RMarlixBullets::GetBulletIcon(const CStringW& colour) {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].colour == colour) return static_cast<int>(i);
    }
    entries_.push_back(Entry{colour, CreateBulletBitmap(colour)});
    return static_cast<int>(entries_.size() - 1);
}

QPixmap RMarlixBullets::CreateBulletBitmap(const CStringW& colour) {
    QPixmap bitmap(16, 16);
    bitmap.fill(Qt::white);
    QPainter painter(&bitmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    platform::ui::DrawTextIn(painter, QString(QChar(0x2022)), platform::ui::RECT{6, -4, 16, 16},
                             platform::ui::kTextNoClip, platform::ui::PointFont("Arial", 180),
                             ParseCalendarColor(colour));
    return bitmap;
}

RImageList::RImageList() : bullets_(new RMarlixBullets) {}

RImageList::~RImageList() { bullets_->Release(); }

int RImageList::Add(const QIcon& icon) {
    images_.push_back(icon);
    return static_cast<int>(images_.size() - 1);
}

const QIcon& RImageList::Icon(int index) const {
    static const QIcon none;
    return index >= 0 && index < Count() ? images_[static_cast<size_t>(index)] : none;
}

int RImageList::FindBulletImageIndex(const CStringW& colour) {
    const int icon = bullets_->GetBulletIcon(colour);
    for (const auto& [bullet, image] : bulletImages_) {
        if (bullet == icon) return image;
    }
    return -1;
}

int RImageList::GetBulletImageIndex(const CStringW& colour) {
    const int found = FindBulletImageIndex(colour);
    if (found >= 0) return found;
    const int icon = bullets_->GetBulletIcon(colour);
    const int image = Add(QIcon(bullets_->Bitmap(icon)));
    bulletImages_.emplace_back(icon, image);
    return image;
}
