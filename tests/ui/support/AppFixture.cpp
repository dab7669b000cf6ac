#include "tests/ui/support/AppFixture.h"

#include <QApplication>
#include <atomic>
#include <iterator>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "dav/http/RWebDAVConnection.h"
#include "platform/messages/UiThreadLoop.h"
#include "platform/ui/CommandRouting.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "tests/dav/integration/IntegrationSupport.h"
#include "ui/frame/CMainFrame.h"
#include "ui/view/COrvaneView.h"

namespace orvane::test {

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        platform::messages::UiThreadLoop::DrainQueued();
    }
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        Settle();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

QAction* FindMenuEntry(QMenu* menu, unsigned id) {
    if (menu == nullptr) return nullptr;
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            if (QAction* inner = FindMenuEntry(action->menu(), id)) return inner;
        }
        if (!action->isSeparator() && action->data().toUInt() == id) return action;
    }
    return nullptr;
}

namespace {
// Waits until the refreshes started with the window have ended and their reports were shown
// (a seeded account's server is not there), so the test's responders answer only its own dialogs.
void WaitForStartUpRefreshes(COrvaneApp& app) {
    ROrvaneAccountManager* accounts = app.AccountManager();
    (void)WaitUntil([&] {
        for (int i = 0; accounts != nullptr && i < accounts->GetAccountCount(); ++i) {
            RRef<ROrvaneAccount> account = accounts->GetAccountAt(i);
            if (account && account->IsRefreshing()) return false;
        }
        return app.ErrorDialog().WaitingReports() == 0 && !app.ErrorDialog().IsShowing();
    });
    Settle();
}
}  // namespace

void AppRunner::StartApp() {
    GuiApp();
    app = std::make_unique<COrvaneApp>();
    ASSERT_TRUE(app->InitInstance(CStringW::FromUtf8(seed.DataFolder().string())));
    WaitForStartUpRefreshes(*app);
    // A fresh queue for the test's own dialogs (scopes do not nest: the old one goes first).
    responders.reset();
    responders = std::make_unique<platform::ui::ModalResponderScope>();
}

void AppRunner::StopApp() {
    if (app) {
        EXPECT_TRUE(app->ExitInstance());
    }
    app.reset();
}

CMainFrame* AppRunner::Frame() const { return app ? app->MainFrame() : nullptr; }

bool AppRunner::Run(unsigned id) { return Frame() != nullptr && Frame()->Router().Route(id); }

bool RadicaleServer::Available() { return ServerAvailable("/usr/bin/radicale"); }

std::string RadicaleServer::Start(const TempFolder& folder, ServerProcess& server) {
    const std::string config = WriteRadicaleConfig(folder.Str());
    std::ofstream(folder.Str() + "/users") << "alice:secret\n";
    return server.Start({"/usr/bin/radicale", "-C", config}, folder.Str() + "/log", std::chrono::seconds(20));
}

template <typename Server>
std::string ServerAppFixtureOf<Server>::NewCalendar(const std::string& displayName) {
    static std::atomic<int> next{1};
    const std::string path = "/alice/u" + std::to_string(next++) + "-" + std::to_string(::getpid()) + "/";
    EXPECT_EQ(201, MakeCalendar(Port(), "alice", "secret", path, displayName));
    return path;
}

template <typename Server>
bool ServerAppFixtureOf<Server>::RefreshAndWait(ROrvaneAccount& account) {
    COrvaneView* view = app->GetView(0);
    (void)account.StartRefresh(view != nullptr ? view->Target() : platform::messages::kNoTarget);
    return WaitUntil([&account] { return !account.IsRefreshing(); });
}

template <typename Server>
RRef<ROrvaneAccount> ServerAppFixtureOf<Server>::AddServerAccount(const char* description) {
    RRef<ROrvaneAccount> account = app->AccountManager()->CreateAccount(description, "alice", "secret");
    EXPECT_TRUE(account);
    if (!account) return account;
    (void)account->SetAddress((Base() + "/").c_str());
    EXPECT_TRUE(RefreshAndWait(*account));
    EXPECT_EQ(account->GetLastResult(), 0);
    return account;
}

namespace {
RRef<RWebDAVConnection> Connected(int port, const std::string& path) {
    auto connection = MakeRef<RWebDAVConnection>();
    connection->Initialize("127.0.0.1", port, false, "alice", "secret");
    connection->SetPath(path.substr(0, path.rfind('/') + 1).c_str());
    return connection;
}
}  // namespace

template <typename Server>
std::string ServerAppFixtureOf<Server>::Fetch(const std::string& path) {
    auto connection = Connected(Port(), path);
    const std::string name = path.substr(path.rfind('/') + 1);
    platform::RecursiveMutexLock hold(connection->Mutex());
    if (connection->SendRequest(nullptr, nullptr, "GET", name.c_str()) != 200) return std::string();
    RHeapBuffer* body = connection->ReadResponse();
    return body != nullptr && body->data != nullptr ? std::string(reinterpret_cast<const char*>(body->data)) : std::string();
}

template <typename Server>
int ServerAppFixtureOf<Server>::Put(const std::string& path, const std::string& body) {
    auto connection = Connected(Port(), path);
    const std::string name = path.substr(path.rfind('/') + 1);
    return connection->SendRequest("Content-Type: text/calendar", body.c_str(), "PUT", name.c_str());
}

template <typename Server>
int ServerAppFixtureOf<Server>::Delete(const std::string& path) {
    auto connection = Connected(Port(), path);
    const std::string name = path.substr(path.rfind('/') + 1);
    return connection->SendRequest(nullptr, nullptr, "DELETE", name.c_str());
}

template <typename Server>
int ServerAppFixtureOf<Server>::MakeCollection(const std::string& path) {
    auto connection = Connected(Port(), path);
    return connection->SendRequest(nullptr, nullptr, "MKCOL", nullptr);
}

std::string OpenRadicaleServer::Start(const TempFolder& folder, ServerProcess& server) {
    std::string config;
    {
        std::ifstream in(WriteRadicaleConfig(folder.Str()));
        config.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    auto replace = [&config](const std::string& from, const std::string& to) {
        const std::size_t at = config.find(from);
        if (at != std::string::npos) config.replace(at, from.size(), to);
    };
    replace("type = htpasswd", "type = none");
    const std::string rights = folder.Str() + "/open.rights";
    std::ofstream(rights) << "[everyone]\nuser: .*\ncollection: .*\npermissions: RrWw\n";
    replace("type = owner_only", "type = from_file\nfile = " + rights);
    const std::string path = folder.Str() + "/open.config";
    std::ofstream(path) << config;
    return server.Start({"/usr/bin/radicale", "-C", path}, folder.Str() + "/log", std::chrono::seconds(20));
}

template class ServerAppFixtureOf<RadicaleServer>;
template class ServerAppFixtureOf<OpenRadicaleServer>;

std::string CalendarText(const std::string& uid, const std::string& summary, const std::string& start,
                         const std::string& end, const std::string& extra) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Tests//EN\r\nBEGIN:VEVENT\r\nUID:" + uid +
           "\r\nDTSTAMP:20260101T000000Z\r\nDTSTART:" + start + "\r\nDTEND:" + end + "\r\nSUMMARY:" + summary +
           "\r\n" + extra + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

}  // namespace orvane::test
