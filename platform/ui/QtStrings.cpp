#include "platform/ui/QtStrings.h"

namespace platform::ui {

QString FillTemplate(const QString& templ, const QStringList& values) {
    QString out;
    out.reserve(templ.size() + 64);
    qsizetype next = 0;
    for (qsizetype i = 0; i < templ.size(); ++i) {
        const QChar c = templ[i];
        if (c == u'%' && i + 1 < templ.size()) {
            const QChar spec = templ[i + 1];
            if (spec == u's' || spec == u'd') {
                if (next < values.size()) out += values[next];
                ++next;
                ++i;
                continue;
            }
            if (spec == u'%') {
                out += u'%';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace platform::ui
