#pragma once
// The redirect target of a sign-in in the user's browser: listens on 127.0.0.1 on a port the
// system picks and answers the browser's return to "http://127.0.0.1:<port>/?state=...&code=...".
// Only the expected state is accepted, and only one code; the title of every page answered is
// kept, so the caller reads the code from the title of the page the browser shows
// ("Success code=<code> "), or finds only a failure title.
// The listener does no work by itself: its owner calls Poll, which answers what has arrived.
// Thread rule: may be shared between threads; every operation takes the listener's own lock.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/threads/Mutex.h"

namespace platform::browser {

// The text before the code in the title of the page that carries it.
inline constexpr char kCodeTitleMarker[] = "Success code=";
// The title of every page that carries no code.
inline constexpr char kFailureTitle[] = "Sign-in failed";

class LoopbackCodeListener {
public:
    // Listens until Close or until `lifetime` has passed. Null, with the system's error number
    // in `error` when given, when no socket could be set up.
    static std::unique_ptr<LoopbackCodeListener> Open(std::string expectedState, std::chrono::milliseconds lifetime,
                                                      int* error);
    ~LoopbackCodeListener();
    LoopbackCodeListener(const LoopbackCodeListener&) = delete;
    LoopbackCodeListener& operator=(const LoopbackCodeListener&) = delete;

    int Port() const;
    // "http://127.0.0.1:<port>/"
    std::string RedirectUri() const;

    // Answers every browser request that has arrived, waiting at most `wait` for more while no
    // code page has been served. True once a code page has been served. Past its lifetime the
    // listener closes instead.
    bool Poll(std::chrono::milliseconds wait);

    // Titles of the pages answered so far, oldest first.
    std::vector<std::string> PageTitles() const;

    bool IsOpen() const;
    // Stops listening and drops requests not answered yet.
    void Close();

private:
    struct Pending {
        int fd;
        std::string head;
        std::chrono::steady_clock::time_point since;
    };

    LoopbackCodeListener(int fd, int port, std::string expectedState, std::chrono::steady_clock::time_point closesAt);
    void CloseLocked() ORVANE_REQUIRES(mutex_);
    void AcceptLocked() ORVANE_REQUIRES(mutex_);
    // Reads what arrived on the pending request; true when it is finished with (answered or dropped).
    bool ServeLocked(Pending& pending) ORVANE_REQUIRES(mutex_);
    void AnswerLocked(int fd, const std::string& head) ORVANE_REQUIRES(mutex_);

    mutable platform::Mutex mutex_;
    int listenFd_ ORVANE_GUARDED_BY(mutex_);
    const int port_;
    const std::string expectedState_;
    const std::chrono::steady_clock::time_point closesAt_;
    std::vector<Pending> pending_ ORVANE_GUARDED_BY(mutex_);
    std::vector<std::string> titles_ ORVANE_GUARDED_BY(mutex_);
    bool codeServed_ ORVANE_GUARDED_BY(mutex_) = false;
};

// Whether `code` may be carried in a page title and a form field: 1 to 2048 printable ASCII
// characters without blanks, quotes, angle brackets, ampersands or backslashes.
bool IsAcceptableCode(const std::string& code);

}  // namespace platform::browser
