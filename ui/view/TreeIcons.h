#pragma once
// The calendar tree's own icons, painted at run time (16 x 16): the account symbol and the
// state marks. Plain functions; UI thread only (they paint).
#include <QIcon>

enum TreeIconId {
    kIconAccount = 142,
    kIconAccountShared = 143,
    kIconError = 144,
    kIconCalendar = 145,
    kIconRefreshing = 146,
    kIconSubscription = 147,
    kIconOffline = 148,
    kIconBlank = 149,
};

QIcon MakeTreeIcon(int id);
