#pragma once
// The document/view frame of the program's main window: a template makes the document, the
// frame and the view, gives the view its first update before the frame is first shown, and
// keeps them for the run. The document holds no data of its own (the data lives in the store);
// it is a command target of the route and keeps the framework's modified flag and title.
//
// UI thread only.
#include <QString>
#include <functional>
#include <memory>

#include "platform/ui/CommandRouting.h"

class QWidget;

namespace platform::ui {

class CDocument : public CommandTarget {
public:
    // Re-initialises the document; true when it may be used.
    virtual bool OnNewDocument() {
        modified_ = false;
        return true;
    }
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified) { modified_ = modified; }
    const QString& Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }
    bool OnCommand(unsigned) override { return false; }
    bool OnUpdateCommand(unsigned, CommandState&) override { return false; }

private:
    bool modified_ = false;
    QString title_;
};

// What a view offers the template: its first update, run once before the frame shows.
class ViewBase {
public:
    virtual ~ViewBase() = default;
    virtual void OnInitialUpdate() = 0;
};

class DocumentTemplate {
public:
    using MakeDocument = std::function<std::unique_ptr<CDocument>()>;
    // The frame for the document; it makes and returns its view (a child of the frame).
    using MakeFrame = std::function<QWidget*(CDocument* document, ViewBase** view)>;

    DocumentTemplate(QString title, MakeDocument makeDocument, MakeFrame makeFrame);

    // Makes the document, the frame and its view, runs the view's first update and shows the
    // frame. False (with nothing left made) when the document does not initialise or no frame
    // results.
    bool OpenNewDocument();

    CDocument* Document() const { return document_.get(); }
    QWidget* Frame() const { return frame_; }
    // Deletes the frame (and with it the view), then the document.
    void Close();

private:
    QString title_;
    MakeDocument makeDocument_;
    MakeFrame makeFrame_;
    std::unique_ptr<CDocument> document_;
    QWidget* frame_ = nullptr;
};

}  // namespace platform::ui
