#pragma once
// The dialog in which the user adds, edits and removes CalDAV accounts. Each list entry stands
// for one account by its guid. Changes are committed when a field loses the keyboard focus (and
// for the focused field when the dialog closes), not by OK; a commit that changes how the account
// signs in starts its refresh. Adding or removing an account tells the main view and the main
// window to rebuild what depends on the account list. An account added without an address whose
// server cannot be found from its user name gets no refresh; the error report says so when the
// dialog closes, unless an address was given by then.
//
// UI thread only.
#include <QString>
#include <vector>

#include "foundation/memory/RRef.h"
#include "platform/string/CString.h"

class COrvaneApp;
class QCheckBox;
class QComboBox;
class QDialog;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;
class ROrvaneAccount;

class CAccountsDialog {
public:
    // Object names of the controls, for tests.
    static constexpr const char* kList = "accounts";
    static constexpr const char* kAdd = "add";
    static constexpr const char* kRemove = "remove";
    static constexpr const char* kDescription = "description";
    static constexpr const char* kUserName = "username";
    static constexpr const char* kPassword = "password";
    static constexpr const char* kRefresh = "refresh";
    static constexpr const char* kAdvanced = "advanced";
    static constexpr const char* kUrl = "accountUrl";
    static constexpr const char* kSeparateWindow = "separateWindow";

    explicit CAccountsDialog(COrvaneApp* app);
    CAccountsDialog(const CAccountsDialog&) = delete;
    CAccountsDialog& operator=(const CAccountsDialog&) = delete;

    int DoModal(QWidget* parent = nullptr);

    // Refresh list position to minutes and back ("Manually" is 0 minutes).
    static int MinutesForPosition(int position);
    static int PositionForMinutes(int minutes);

private:
    struct Controls;

    void BuildWindow(QDialog& dialog);
    void ClearFields();
    void OnAdd();
    void OnRemove();
    void OnSelChange();
    void OnDescriptionKillFocus();
    void ApplyChanges();
    void OnRefreshChange();
    void OnAdvanced();
    void OnUrlKillFocus();
    // The account of the selected entry (by its guid), or null.
    RRef<ROrvaneAccount> SelectedAccount();
    void PostAccountsChanged();
    // Reports each account added in this run whose server could not be found and that still has
    // no address: its discovery's code, over `parent`.
    void ReportUnfoundServers(QWidget* parent);

    COrvaneApp* app_;
    bool additionPending_ = false;
    // Guids of the accounts added in this run whose server could not be found from the user name.
    std::vector<CStringA> unfound_;
    Controls* controls_ = nullptr;  // valid during one modal run
};
