// The real program on a virtual X screen over a seeded store: its window shows the calendar
// tree and this month's grid with the seeded items, a second copy says in a window why it ends,
// and pictures of the screen are saved for a person to look at. A terminal shows no trace of the
// program's work unless the trace is asked for.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <utility>

#include "platform/ui/GdiShapes.h"
#include "tests/support/GuiApp.h"
#include "tests/support/TempFolder.h"
#include "tests/ui/program/XInput.h"
#include "tests/ui/program/XvfbScreen.h"
#include "tests/ui/support/SeededStore.h"
#include "ui/month/ROrvaneMonthView.h"

using namespace orvane::test;

namespace {

int Count(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) count += (line[x] & 0xFFFFFF) == (colour & 0xFFFFFF);
    }
    return count;
}

// The smallest rectangle holding every pixel that differs between two pictures of the screen.
QRect Changed(const QImage& before, const QImage& after) {
    QRect area;
    if (before.isNull() || after.isNull() || before.size() != after.size()) return area;
    for (int y = 0; y < after.height(); ++y) {
        const auto* was = reinterpret_cast<const QRgb*>(before.constScanLine(y));
        const auto* now = reinterpret_cast<const QRgb*>(after.constScanLine(y));
        for (int x = 0; x < after.width(); ++x) {
            if ((was[x] & 0xFFFFFF) != (now[x] & 0xFFFFFF)) area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

std::string Stamp(const RDateTime& day, const char* time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%s", day.year, day.month, day.day, time);
    return text;
}

}  // namespace

TEST(ProgramUnderXvfb, ShowsTheTreeAndThisMonthsGridOverTheUsersStore) {
    TempFolder root("orvane-xvfb");
    const std::filesystem::path dataHome = root.Path() / "data";
    {
        SeededStore seed(dataHome / "BrenmoorTech" / "Orvane");
        const char* subscriptions = "__Subscriptions_GUID__";
        seed.AddAccount(subscriptions, "Subscriptions");
        seed.AddCalendar(subscriptions, "holidays", "Holidays", 0, "#2E7D32FF", true, "subscribed");
        seed.AddCalendar(subscriptions, "rota", "Team rota", 1, "#1565C0FF", true, "subscribed");
        seed.AddCalendar(subscriptions, "moons", "Moon phases", 2, "#F9A825FF", false, "subscribed");
        RDateTime today = *GetCurrentLocalDateTime();
        char refreshed[32];
        std::snprintf(refreshed, sizeof refreshed, "%04d-%02d-%02d 08:00", today.year, today.month, today.day);
        for (const char* calendar : {"holidays", "rota", "moons"}) {
            seed.SetSubscription(subscriptions, calendar, "http://127.0.0.1:9/feed.ics", refreshed);
        }
        RDateTime first = today;
        first.day = 3;
        RDateTime later = first;
        for (int i = 0; i < 7; ++i) later.NextDay();
        RDateTime end = later;
        for (int i = 0; i < 3; ++i) end.NextDay();
        seed.Import(subscriptions, "holidays",
                    Event("h1", "Company offsite", "DTSTART;VALUE=DATE:" + Stamp(later, "") + "\r\nDTEND;VALUE=DATE:" +
                                                       Stamp(end, "") + "\r\n") +
                        Event("h2", "Founders' day", "DTSTART;VALUE=DATE:" + Stamp(first, "") + "\r\n"),
                    "holidays.ics");
        seed.Import(subscriptions, "rota",
                    Event("r1", "Stand-up & review", "DTSTART:" + Stamp(first, "T093000") + "\r\nDTEND:" +
                                                         Stamp(first, "T094500") + "\r\n",
                          "RRULE:FREQ=WEEKLY;COUNT=5\r\n") +
                        Event("r2", "Release <b>%1</b>", "DTSTART:" + Stamp(later, "T150000") + "\r\nDTEND:" +
                                                             Stamp(later, "T160000") + "\r\n"),
                    "rota.ics");
        seed.Import(subscriptions, "moons", Event("m1", "Full moon", "DTSTART;VALUE=DATE:" + Stamp(first, "") + "\r\n"),
                    "moons.ics");
        seed.Close();
    }

    XvfbScreen screen(root.Path() / "screen", 1280, 800);
    ASSERT_TRUE(screen.Ok()) << "Xvfb did not start";
    const pid_t program = screen.Launch(ORVANE_PROGRAM, {{"XDG_DATA_HOME", dataHome.string()}});
    ASSERT_GT(program, 0);
    // Waits until the grid's background fills most of the window.
    QImage picture;
    const QRgb background = platform::ui::ToQColor(ROrvaneMonthView::kBackgroundColour).rgb();
    for (int i = 0; i < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        picture = screen.Grab();
        if (!picture.isNull() && Count(picture, background) > 300000) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));  // the tree and the labels finish painting
    picture = screen.Grab();
    // A second copy over the same data folder finds it taken: it says so in a window of its own
    // (a desktop user sees no terminal) and ends once that is closed.
    const pid_t second = screen.Launch(ORVANE_PROGRAM, {{"XDG_DATA_HOME", dataHome.string()}});
    QRect message;
    int status = -1;
    bool ended = false;
    for (int i = 0; i < 100 && message.width() * message.height() < 5000 && !ended; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ended = waitpid(second, &status, WNOHANG) == second;
        message = Changed(picture, screen.Grab());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the text finishes painting
    const QImage secondCopy = screen.Grab();
    EXPECT_FALSE(ended) << "the second copy ended without a word: " << status;
    EXPECT_GT(message.width() * message.height(), 5000);
    if (!ended) {
        XInput input(screen.Display());
        EXPECT_TRUE(input.Ok());
        input.Click(message.center().x(), message.center().y());
        input.Key("Return");
        for (int i = 0; i < 100 && !ended; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ended = waitpid(second, &status, WNOHANG) == second;
        }
        EXPECT_TRUE(ended) << "the second copy's message did not close";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    if (!ended) XvfbScreen::Stop(second);
    XvfbScreen::Stop(program);
    if (!secondCopy.isNull()) SaveTestPicture(secondCopy, "orvane-second-copy");
    ASSERT_FALSE(picture.isNull());
    SaveTestPicture(picture, "orvane-under-xvfb");
    EXPECT_GT(Count(picture, background), 300000);
    // The bar fills of the two shown calendars are on screen; the switched-off one's is not.
    auto fill = [](const char* colour) {
        return platform::ui::ToQColor(ParseColour(CStringW::FromUtf8(colour))).rgb();
    };
    EXPECT_GT(Count(picture, fill("#2E7D32FF")), 200);
    EXPECT_EQ(Count(picture, fill("#F9A825FF")), 0);
    // Today's label is blue.
    EXPECT_GT(Count(picture, qRgb(0, 0, 255)) + Count(picture, qRgb(0, 0, 254)), 0);
}

TEST(ProgramUnderXvfb, ATerminalShowsNoTraceUnlessItIsAskedFor) {
    TempFolder root("orvane-quiet");
    XvfbScreen screen(root.Path() / "screen", 1280, 800);
    ASSERT_TRUE(screen.Ok()) << "Xvfb did not start";
    const QRgb background = platform::ui::ToQColor(ROrvaneMonthView::kBackgroundColour).rgb();
    auto read = [](const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    // Starts the program over an empty data folder, lets it draw its month, and ends it; what it
    // wrote to its standard output and error.
    auto run = [&](const std::string& name, std::map<std::string, std::string> environment) {
        environment["XDG_DATA_HOME"] = (root.Path() / "data").string();
        const std::filesystem::path out = root.Path() / (name + ".out"), err = root.Path() / (name + ".err");
        const pid_t program = screen.Launch(ORVANE_PROGRAM, environment, out, err);
        EXPECT_GT(program, 0);
        for (int i = 0; i < 200 && Count(screen.Grab(), background) < 300000; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        XvfbScreen::Stop(program);
        return std::make_pair(read(out), read(err));
    };
    const std::regex traceLine(R"((^|\n)\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3} )");

    const auto [out, err] = run("quiet", {{"ORVANE_TRACE", ""}});  // as for a user who sets nothing
    EXPECT_EQ(out, "");
    EXPECT_FALSE(std::regex_search(err, traceLine)) << err.substr(0, 400);

    const auto [tracedOut, tracedErr] = run("traced", {{"ORVANE_TRACE", "1"}});
    EXPECT_EQ(tracedOut, "");
    EXPECT_TRUE(std::regex_search(tracedErr, traceLine)) << tracedErr.substr(0, 400);
}
