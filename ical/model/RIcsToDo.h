#pragma once
// A VTODO: parsed and stored, but the writer renders no to-do text.
// Needs its owner's lock, as every component.
#include "ical/model/RIcsComponent.h"
#include "ical/writer/RIcsTextCache.h"

class RIcsToDo : public RIcsComponent {
public:
    const char* GetText() override;
    void BuildText();

private:
    RIcsTextCache text_;
};
