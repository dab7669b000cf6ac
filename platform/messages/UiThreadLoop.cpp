#include "platform/messages/UiThreadLoop.h"

#include <QEvent>
#include <QObject>

#include "platform/messages/UiDispatcher.h"

namespace platform::messages {

namespace {

// Receives the wake-up events on the user-interface thread and drains the queue.
class Waker : public QObject {
public:
    bool event(QEvent* event) override {
        if (detail::UiDispatcher::Instance().EventTypeOf(event) >= QEvent::User) {
            detail::UiDispatcher::Instance().Drain();
            return true;
        }
        return QObject::event(event);
    }
};

}  // namespace

UiThreadLoop::UiThreadLoop() : waker_(std::make_unique<Waker>()) {
    detail::UiDispatcher::Instance().Attach(waker_.get());
}

UiThreadLoop::~UiThreadLoop() {
    detail::UiDispatcher::Instance().Detach();
    waker_.reset();
}

void UiThreadLoop::DrainQueued() { detail::UiDispatcher::Instance().Drain(); }

}  // namespace platform::messages
