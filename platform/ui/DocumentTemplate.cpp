#include "platform/ui/DocumentTemplate.h"

#include <QLayout>
#include <QWidget>

namespace platform::ui {

DocumentTemplate::DocumentTemplate(QString title, MakeDocument makeDocument, MakeFrame makeFrame)
    : title_(std::move(title)), makeDocument_(std::move(makeDocument)), makeFrame_(std::move(makeFrame)) {}

bool DocumentTemplate::OpenNewDocument() {
    if (!makeDocument_ || !makeFrame_ || frame_ != nullptr) return false;
    std::unique_ptr<CDocument> document = makeDocument_();
    if (!document) return false;
    document->SetTitle(title_);
    if (!document->OnNewDocument()) return false;
    ViewBase* view = nullptr;
    QWidget* frame = makeFrame_(document.get(), &view);
    if (frame == nullptr) return false;
    document_ = std::move(document);
    frame_ = frame;
    // The view gets its size in the frame before its first update, which places things by it.
    frame_->ensurePolished();
    if (frame_->layout() != nullptr) frame_->layout()->activate();
    if (view != nullptr) view->OnInitialUpdate();
    frame_->show();
    return true;
}

void DocumentTemplate::Close() {
    delete frame_;
    frame_ = nullptr;
    document_.reset();
}

}  // namespace platform::ui
