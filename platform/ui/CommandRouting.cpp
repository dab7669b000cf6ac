#include "platform/ui/CommandRouting.h"

namespace platform::ui {

CommandState CommandRouter::Update(unsigned id) const {
    if (route_) {
        for (CommandTarget* target : route_()) {
            CommandState state;
            if (target != nullptr && target->OnUpdateCommand(id, state)) return state;
        }
    }
    CommandState none;
    none.enabled = false;
    return none;
}

bool CommandRouter::Route(unsigned id) const {
    if (!route_) return false;
    for (CommandTarget* target : route_()) {
        CommandState state;
        if (target == nullptr || !target->OnUpdateCommand(id, state)) continue;
        // A disabled command does nothing, also when its accelerator is pressed.
        return state.enabled && target->OnCommand(id);
    }
    return false;
}

}  // namespace platform::ui
