// Modal runs: the program's result ids, Esc and close as Cancel, responders driving real
// handlers, nested dialogs, and no hang on a dialog nobody answers.
#include <gtest/gtest.h>

#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ui/ModalRun.h"
#include "tests/support/GuiApp.h"

using namespace platform::ui;

namespace {

struct OkCancelDialog : QDialog {
    QPushButton* ok;
    QPushButton* cancel;
    int okHandled = 0;
    OkCancelDialog() {
        auto* layout = new QVBoxLayout(this);
        ok = new QPushButton("OK", this);
        cancel = new QPushButton("Cancel", this);
        layout->addWidget(ok);
        layout->addWidget(cancel);
        connect(ok, &QPushButton::clicked, this, [this] {
            ++okHandled;
            done(IDOK);
        });
        connect(cancel, &QPushButton::clicked, this, [this] { done(IDCANCEL); });
    }
};

}  // namespace

TEST(ModalRun, ButtonsEscAndCloseGiveTheProgramsIds) {
    orvane::test::GuiApp();
    ModalResponderScope responders;
    OkCancelDialog dialog;
    responders.Add([](QDialog& d) { static_cast<OkCancelDialog&>(d).ok->click(); });
    EXPECT_EQ(RunModal(dialog), IDOK);
    EXPECT_EQ(dialog.okHandled, 1);  // the real handler ran

    responders.Add([](QDialog& d) {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&d, &esc);
    });
    EXPECT_EQ(RunModal(dialog), IDCANCEL);

    responders.Add([](QDialog& d) { d.close(); });
    EXPECT_EQ(RunModal(dialog), IDCANCEL);

    responders.AddResult(7);
    EXPECT_EQ(RunModal(dialog), 7);
    EXPECT_EQ(responders.Runs(), 4);
    EXPECT_EQ(responders.Unanswered(), 0);
}

TEST(ModalRun, NestedDialogsTakeTheirRespondersInOrderAndUnansweredRunsEndAsCancel) {
    orvane::test::GuiApp();
    ModalResponderScope responders;
    OkCancelDialog outer;
    int innerResult = 0;
    responders.Add([&](QDialog& d) {
        OkCancelDialog inner;
        innerResult = RunModal(inner);  // takes the second responder
        static_cast<OkCancelDialog&>(d).ok->click();
    });
    responders.Add([](QDialog& d) { static_cast<OkCancelDialog&>(d).cancel->click(); });
    EXPECT_EQ(RunModal(outer), IDOK);
    EXPECT_EQ(innerResult, IDCANCEL);

    // A responder that leaves the dialog open does not hang the run.
    responders.Add([](QDialog&) {});
    EXPECT_EQ(RunModal(outer), IDCANCEL);
    OkCancelDialog unexpected;
    EXPECT_EQ(RunModal(unexpected), IDCANCEL);
    EXPECT_EQ(responders.Unanswered(), 1);
    EXPECT_FALSE(unexpected.isVisible());
}
