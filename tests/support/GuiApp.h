#pragma once
// The one QApplication of a widget test program, made on first use on Qt's offscreen platform,
// and the folder where tests leave pictures of what they drew for a person to look at.
#include <QApplication>
#include <QImage>
#include <QString>
#include <cstdlib>
#include <filesystem>

#include "platform/messages/UiThreadLoop.h"

namespace orvane::test {

inline QApplication& GuiApp() {
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "orvane-tests";
        static char* argv[] = {name, nullptr};
        auto* made = new QApplication(argc, argv);
        // Posted messages and reports are delivered on this thread from now on.
        static platform::messages::UiThreadLoop loop;
        return made;
    }();
    return *app;
}

// ORVANE_TEST_OUTPUT, else test-output beside the test program.
inline std::filesystem::path TestOutputFolder() {
    const char* given = std::getenv("ORVANE_TEST_OUTPUT");
    std::filesystem::path folder = given != nullptr && *given ? std::filesystem::path(given)
                                                             : std::filesystem::read_symlink("/proc/self/exe").parent_path() / "test-output";
    std::filesystem::create_directories(folder);
    return folder;
}

inline void SaveTestPicture(const QImage& image, const char* name) {
    image.save(QString::fromStdString((TestOutputFolder() / (std::string(name) + ".png")).string()));
}

}  // namespace orvane::test
