#pragma once
// The whole application over a real store in a temporary data folder: the application object
// started as the program starts it (main window, view, menus), every modal run answered by the
// test, and a Radicale server for the groups that talk to one.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "foundation/memory/RRef.h"
#include "platform/ui/ModalRun.h"
#include "tests/dav/integration/ServerSuite.h"
#include "tests/support/GuiApp.h"
#include "tests/support/TempFolder.h"
#include "tests/ui/support/SeededStore.h"
#include "ui/app/COrvaneApp.h"

class CMainFrame;
class ROrvaneAccount;
class ROrvaneCalendarItem;

namespace orvane::test {

// Lets posted messages and queued work arrive.
void Settle();
// Runs the event loop until `done` holds or the time is up; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));
// The entry of a menu (searched through its submenus) whose command is `id`, or null.
QAction* FindMenuEntry(QMenu* menu, unsigned id);

// The application over a seeded store, as the fixtures below run it.
class AppRunner {
protected:
    // Starts the application over the seeded store.
    void StartApp();
    void StopApp();
    CMainFrame* Frame() const;
    // Runs a command as a menu entry or accelerator does.
    bool Run(unsigned id);

    SeededStore seed;
    std::unique_ptr<platform::ui::ModalResponderScope> responders =
        std::make_unique<platform::ui::ModalResponderScope>();
    std::unique_ptr<COrvaneApp> app;
};

class AppFixture : public ::testing::Test, protected AppRunner {
protected:
    using AppRunner::Run;  // not the test's own Run
    void TearDown() override { StopApp(); }
};

struct RadicaleServer {
    static constexpr char kName[] = "radicale";
    static bool Available();
    static std::string Start(const TempFolder& folder, ServerProcess& server);
};

// Radicale that lets anyone read and write (no sign-in), for feeds fetched without credentials.
struct OpenRadicaleServer {
    static constexpr char kName[] = "radicale-open";
    static bool Available() { return RadicaleServer::Available(); }
    static std::string Start(const TempFolder& folder, ServerProcess& server);
};

// The application beside a server started for the suite.
template <typename Server>
class ServerAppFixtureOf : public ServerSuite<Server>, protected AppRunner {
protected:
    using AppRunner::Run;  // not the test's own Run
    void TearDown() override { StopApp(); }
    // A new collection (unique path) with one event per (uid, summary, extra lines); its path.
    std::string NewCalendar(const std::string& displayName);
    // A CalDAV account of the test user on the server, refreshed until it is idle again.
    RRef<ROrvaneAccount> AddServerAccount(const char* description = "Radicale");
    bool RefreshAndWait(ROrvaneAccount& account);
    // The body of a resource on the server ("" when missing) and PUTs as another client would.
    std::string Fetch(const std::string& path);
    int Put(const std::string& path, const std::string& body);
    int Delete(const std::string& path);
    // A plain collection (such as a user's home on a server that makes none itself).
    int MakeCollection(const std::string& path);

    int Port() const { return ServerSuite<Server>::Port(); }
    std::string Base() const { return ServerSuite<Server>::Base(); }
};
using ServerAppFixture = ServerAppFixtureOf<RadicaleServer>;
using OpenServerAppFixture = ServerAppFixtureOf<OpenRadicaleServer>;

// One VCALENDAR holding one VEVENT (CR LF lines); `extra` are further VEVENT lines.
std::string CalendarText(const std::string& uid, const std::string& summary, const std::string& start,
                         const std::string& end, const std::string& extra = "");

}  // namespace orvane::test
