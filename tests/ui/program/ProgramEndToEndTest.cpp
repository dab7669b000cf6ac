// The real program on a virtual X screen against a real Radicale: the event stored on the
// server shows in the grid after the start-up refresh; a double-click opens the event dialog,
// a new summary typed there reaches the server, and Delete removes the event there. Then the
// user pages to next month, saves an edit of an event there and refreshes, and that month stays
// on screen. Pictures of the main window and of the event dialog are saved for a person to look
// at.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "dav/http/RWebDAVConnection.h"
#include "platform/ui/GdiShapes.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneAccountManager.h"
#include "tests/support/GuiApp.h"
#include "tests/ui/program/XInput.h"
#include "tests/ui/program/XvfbScreen.h"
#include "tests/ui/support/AppFixture.h"
#include "ui/month/ROrvaneMonthView.h"

using namespace orvane::test;

namespace {

constexpr const char* kColour = "#C62828FF";

QRect Area(const QImage& image, QRgb colour) {
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == (colour & 0xFFFFFF)) area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

// The 15th of next month, which this month's grid never reaches, and the day after it.
std::string NextMonth(int day) {
    RDateTime date = *GetCurrentLocalDateTime();
    if (++date.month > 12) {
        date.month = 1;
        ++date.year;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", date.year, date.month, day);
    return text;
}

std::string Today(int addDays = 0) {
    RDateTime day = *GetCurrentLocalDateTime();
    for (int i = 0; i < addDays; ++i) day.NextDay();
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", day.year, day.month, day.day);
    return text;
}

class ProgramEndToEnd : public ServerAppFixture {
protected:
    int SetColour(const std::string& path) {
        auto connection = MakeRef<RWebDAVConnection>();
        connection->Initialize("127.0.0.1", Port(), false, "alice", "secret");
        connection->SetPath(path.c_str());
        const std::string body =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?><D:propertyupdate xmlns:D=\"DAV:\" "
            "xmlns:I=\"http://apple.com/ns/ical/\"><D:set><D:prop><I:calendar-color>" +
            std::string(kColour) + "</I:calendar-color></D:prop></D:set></D:propertyupdate>";
        return connection->SendRequest("Content-Type: application/xml; charset=utf-8", body.c_str(), "PROPPATCH",
                                       nullptr);
    }
};

}  // namespace

TEST_F(ProgramEndToEnd, TheGridShowsTheServersEventAndTheDialogEditsAndDeletesIt) {
    GuiApp();
    const std::string path = NewCalendar("Team");
    ASSERT_EQ(207, SetColour(path));
    const std::string body = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Tests//EN\r\nBEGIN:VEVENT\r\nUID:e2e\r\n"
                             "DTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:" + Today() +
                             "\r\nDTEND;VALUE=DATE:" + Today(1) + "\r\nSUMMARY:Planning day\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    ASSERT_EQ(201, Put(path + "e2e.ics", body));
    const std::string later = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Tests//EN\r\nBEGIN:VEVENT\r\nUID:later\r\n"
                              "DTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:" + NextMonth(15) +
                              "\r\nDTEND;VALUE=DATE:" + NextMonth(16) + "\r\nSUMMARY:Review\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    ASSERT_EQ(201, Put(path + "later.ics", later));

    TempFolder root("orvane-e2e");
    const std::filesystem::path dataHome = root.Path() / "data";
    {
        SeededStore seedStore(dataHome / "BrenmoorTech" / "Orvane");
        RRef<ROrvaneAccount> account = seedStore.Accounts()->CreateAccount("Radicale", "alice", "secret");
        ASSERT_TRUE(account);
        ASSERT_EQ(R_OK, account->SetAddress((Base() + "/").c_str()));
        ASSERT_EQ(R_OK, account->SetRefreshInterval(0));
        account = nullptr;
        seedStore.Close();
    }

    XvfbScreen screen(root.Path() / "screen", 1280, 800);
    ASSERT_TRUE(screen.Ok()) << "Xvfb did not start";
    XInput input(screen.Display());
    ASSERT_TRUE(input.Ok()) << "no XTEST on the virtual screen";
    const pid_t program = screen.Launch(ORVANE_PROGRAM, {{"XDG_DATA_HOME", dataHome.string()}});
    ASSERT_GT(program, 0);
    struct Stopper {
        pid_t pid;
        ~Stopper() { XvfbScreen::Stop(pid); }
    } stopper{program};

    const QRgb fill = platform::ui::ToQColor(ParseColour(CStringW::FromUtf8(kColour))).rgb();
    QImage picture;
    QRect bar;
    for (int i = 0; i < 300 && bar.width() * bar.height() < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        picture = screen.Grab();
        if (!picture.isNull()) bar = Area(picture, fill);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    picture = screen.Grab();
    SaveTestPicture(picture, "orvane-end-to-end-main");
    ASSERT_GT(bar.width() * bar.height(), 200) << "the event did not show after the refresh";

    // Caps Lock shows in its pane of the status bar (at the window's bottom right) while it is on.
    int right = picture.width() - 1, bottom = picture.height() - 1;
    while (right > 0 && (picture.pixel(right, 400) & 0xFFFFFF) == 0) --right;
    while (bottom > 0 && (picture.pixel(50, bottom) & 0xFFFFFF) == 0) --bottom;
    const QRect panes(right - 250, bottom - 22, 250, 22);
    auto darkIn = [&panes](const QImage& image) {
        int dark = 0;
        for (int y = panes.top(); y <= panes.bottom() && y < image.height(); ++y) {
            for (int x = std::max(0, panes.left()); x <= panes.right() && x < image.width(); ++x) {
                dark += qGray(image.pixel(x, y)) < 100;
            }
        }
        return dark;
    };
    const int before = darkIn(screen.Grab());
    input.Key("Caps_Lock");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const int capsOn = darkIn(screen.Grab());
    input.Key("Caps_Lock");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_GT(capsOn, before);
    EXPECT_EQ(darkIn(screen.Grab()), before);

    // A double-click on the bar opens the dialog with the summary field focused.
    input.Click(bar.center().x(), bar.center().y(), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    SaveTestPicture(screen.Grab(), "orvane-end-to-end-event-dialog");
    input.Key("a", true);
    input.Type("planning moved");
    input.Key("Return");
    bool edited = false;
    for (int i = 0; i < 100 && !edited; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        edited = Fetch(path + "e2e.ics").find("SUMMARY:planning moved") != std::string::npos;
    }
    EXPECT_TRUE(edited) << Fetch(path + "e2e.ics");

    // Once the grid has reloaded, the same bar opens the dialog again; Alt+D deletes.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    input.Click(bar.center().x(), bar.center().y(), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    input.Key("d", false, true);
    bool deleted = false;
    for (int i = 0; i < 100 && !deleted; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        deleted = Fetch(path + "e2e.ics").empty();
    }
    EXPECT_TRUE(deleted);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    SaveTestPicture(screen.Grab(), "orvane-end-to-end-after-delete");
    EXPECT_LT(Area(screen.Grab(), fill).width() * Area(screen.Grab(), fill).height(), 200);

    // View > Next pages to next month, where the other event shows.
    input.Click(bar.center().x(), bar.center().y());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    input.Key("v", false, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    input.Key("Return");
    QRect laterBar;
    for (int i = 0; i < 30 && laterBar.width() * laterBar.height() < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        laterBar = Area(screen.Grab(), fill);
    }
    ASSERT_GT(laterBar.width() * laterBar.height(), 200) << "View > Next did not show next month's event";
    // An edit saved there and a refresh (Ctrl+R) leave that month on screen.
    input.Click(laterBar.center().x(), laterBar.center().y(), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    input.Key("a", true);
    input.Type("review moved");
    input.Key("Return");
    bool saved = false;
    for (int i = 0; i < 100 && !saved; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        saved = Fetch(path + "later.ics").find("SUMMARY:review moved") != std::string::npos;
    }
    EXPECT_TRUE(saved) << Fetch(path + "later.ics");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const QRect afterSave = Area(screen.Grab(), fill);
    EXPECT_GT(afterSave.width() * afterSave.height(), 200) << "the grid left the month after the save";
    input.Key("r", true);
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    picture = screen.Grab();
    SaveTestPicture(picture, "orvane-end-to-end-month-kept");
    const QRect afterRefresh = Area(picture, fill);
    EXPECT_GT(afterRefresh.width() * afterRefresh.height(), 200) << "the grid left the month after the refresh";
}
