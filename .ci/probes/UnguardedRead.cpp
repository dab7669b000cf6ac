// Must NOT compile under clang -Wthread-safety -Werror: build.sh checks that it is refused, which
// shows the annotations in platform/threads are live.
#include "platform/threads/Mutex.h"

struct Account {
    platform::Mutex lock;
    int balance ORVANE_GUARDED_BY(lock) = 0;
};

int Peek(Account& account) { return account.balance; }
