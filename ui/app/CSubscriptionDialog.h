#pragma once
// The New Subscription dialog: a name for the calendar and the address of its iCalendar file.
// OK refuses an empty address and one whose scheme is not webcal, webcals, http or https (a
// message, and the dialog stays open); otherwise it hands both to the subscriber, which
// downloads the calendar while the dialog is still open, and closes.
//
// UI thread only.
#include <QString>
#include <functional>

class QWidget;

class CSubscriptionDialog {
public:
    using Subscriber = std::function<void(const QString& name, const QString& url)>;
    explicit CSubscriptionDialog(Subscriber subscriber) : subscriber_(std::move(subscriber)) {}

    int DoModal(QWidget* parent = nullptr);

    // Whether an address names a feed the program can download.
    static bool IsAcceptedUrl(const QString& url);

    static constexpr const char* kName = "subscriptionName";
    static constexpr const char* kUrl = "subscriptionUrl";
    static constexpr const char* kRefusal = "The address must begin with webcal://, webcals://, http:// or https://.";

private:
    Subscriber subscriber_;
};
