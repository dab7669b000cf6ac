#pragma once
// The document of the main window. It holds no data of its own: everything lives in the store
// and the account objects. It answers no command.
//
// UI thread only.
#include "platform/ui/DocumentTemplate.h"

class COrvaneDoc : public platform::ui::CDocument {};
