#pragma once
// The month host: the plain child window the month view draws on. Its paint only copies the
// month view's retained picture; commands of the month view's buttons, double-clicks and
// context-menu requests are handed on to whoever set the forwards (the main view).
//
// UI thread only.
#include <QImage>
#include <QWidget>
#include <functional>

class RContentPlaceHolderWnd : public QWidget {
public:
    explicit RContentPlaceHolderWnd(QWidget* parent = nullptr);

    // The picture to show; null shows the background colour only.
    void SetSurface(const QImage* surface) { surface_ = surface; }

    std::function<void(int commandId)> commandForward;
    std::function<void(int screenX, int screenY)> contextMenuForward;
    std::function<void(Qt::KeyboardModifiers flags, int x, int y)> doubleClickForward;

    // A command of one of the host's buttons.
    void OnCommand(int commandId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    const QImage* surface_ = nullptr;
};
