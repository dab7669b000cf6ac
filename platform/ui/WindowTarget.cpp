#include "platform/ui/WindowTarget.h"

namespace platform::ui {

WindowTarget::WindowTarget(QWidget* window, platform::messages::MessageHandler handler) {
    QPointer<QWidget> guard(window);
    id_ = platform::messages::RegisterTarget(
        [guard, handler = std::move(handler)](platform::messages::AppMessage message, std::uint64_t wParam,
                                              std::int64_t lParam) {
            if (guard) handler(message, wParam, lParam);
        });
    const platform::messages::TargetId id = id_;
    destroyed_ = QObject::connect(window, &QObject::destroyed, [id] { platform::messages::UnregisterTarget(id); });
}

WindowTarget::~WindowTarget() {
    QObject::disconnect(destroyed_);
    platform::messages::UnregisterTarget(id_);
}

}  // namespace platform::ui
