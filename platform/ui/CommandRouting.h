#pragma once
// Command routing of the program's windows: a command id (from a menu entry, an accelerator or
// a button) is offered to the targets of the route in order (view, document, frame,
// application) until one handles it. A menu entry's state comes from the first target that
// claims the id; an id that no target claims is shown disabled and does nothing.
//
// UI thread only.
#include <QString>
#include <functional>
#include <vector>

namespace platform::ui {

// What a menu entry shows for a command.
struct CommandState {
    bool enabled = true;
    bool checked = false;
    bool radio = false;  // checked shows as a radio mark
};

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // Runs the command; false when this target has no handler for it.
    virtual bool OnCommand(unsigned id) = 0;
    // Claims the id (true) and may change the state it shows; false when this target has no
    // handler for it.
    virtual bool OnUpdateCommand(unsigned id, CommandState& state) = 0;
};

class CommandRouter {
public:
    // The targets in the order they are asked; called for each command, so the route follows
    // the windows as they come and go. Null entries are skipped.
    using RouteSource = std::function<std::vector<CommandTarget*>()>;

    void SetRoute(RouteSource route) { route_ = std::move(route); }

    // The state of a command: from the first target that claims it, else disabled.
    CommandState Update(unsigned id) const;
    // Runs the command in the first target that claims it and is enabled there; false when no
    // target claims it or it is disabled.
    bool Route(unsigned id) const;

private:
    RouteSource route_;
};

}  // namespace platform::ui
