#include "ui/event/REditEventDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <cstring>
#include <memory>
#include <vector>

#include "ical/timezone/ZoneConversions.h"
#include "ical/timezone/ZoneResolver.h"
#include "ical/timezone/ZoneTable.h"
#include "platform/messages/MessageTargets.h"
#include "platform/ui/ModalRun.h"
#include "platform/ui/QtStrings.h"
#include "sync/ROrvaneAccount.h"
#include "sync/ROrvaneCalendar.h"
#include "ui/app/COrvaneApp.h"
#include "ui/event/RApplyChangesDialog.h"
#include "ui/view/COrvaneView.h"

using platform::ui::ToQString;
using platform::ui::ToCStringA;
using platform::ui::ToCStringW;

struct REditEventDialog::Controls {
    QDialog* dialog = nullptr;
    QLineEdit* summary = nullptr;
    QLineEdit* location = nullptr;
    QCheckBox* allDay = nullptr;
    QDateEdit* startDate = nullptr;
    QTimeEdit* startTime = nullptr;
    QDateEdit* endDate = nullptr;
    QTimeEdit* endTime = nullptr;
    QCheckBox* zoneBox = nullptr;
    QComboBox* startZone = nullptr;
    QComboBox* endZone = nullptr;
    QComboBox* repeat = nullptr;
    QCheckBox* untilBox = nullptr;
    QDateEdit* untilDate = nullptr;
    QLineEdit* untilCover = nullptr;
    QListWidget* attendees = nullptr;
    QComboBox* calendar = nullptr;
    QLineEdit* url = nullptr;
    QPlainTextEdit* note = nullptr;
    QPushButton* deleteButton = nullptr;
};

namespace {

constexpr const char* kEditedProperty = "orvaneTextEdited";
constexpr const char* kLoadedProperty = "orvaneLoadedText";

QDate ToQDate(const RDateTime& t) { return QDate(t.year, t.month, t.day); }
QTime ToQTime(const RDateTime& t) { return QTime(t.hour, t.minute, t.second); }

RDateTime FromQ(const QDate& date, const QTime& time) {
    RDateTime t;
    t.year = date.year();
    t.month = static_cast<std::uint16_t>(date.month());
    t.day = static_cast<std::uint16_t>(date.day());
    t.hour = static_cast<std::uint16_t>(time.hour());
    t.minute = static_cast<std::uint16_t>(time.minute());
    t.second = static_cast<std::int16_t>(time.second());
    return t;
}

// A date-time as wall-clock seconds, for differences and shifts.
QDateTime AsUtc(const RDateTime& t) { return QDateTime(ToQDate(t), ToQTime(t), Qt::UTC); }
RDateTime FromUtc(const QDateTime& t) { return FromQ(t.date(), t.time()); }

SYSTEMTIME ToSystemTime(const RDateTime& t) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = t.month;
    st.wDay = t.day;
    st.wHour = t.hour;
    st.wMinute = t.minute;
    st.wSecond = static_cast<WORD>(t.second);
    return st;
}

void SetPickers(QDateEdit* date, QTimeEdit* time, const RDateTime& t) {
    const QSignalBlocker blockDate(date), blockTime(time);
    date->setDate(ToQDate(t));
    time->setTime(ToQTime(t));
}

RDateTime ReadPickers(QDateEdit* date, QTimeEdit* time, bool withSeconds) {
    QTime clock = time->time();
    if (!withSeconds) clock = QTime(clock.hour(), clock.minute(), 0);
    return FromQ(date->date(), clock);
}

// The selected entry, or -1 when none is selected or the user typed over the text.
int SelectedIndex(QComboBox* list) {
    return list->property(kEditedProperty).toBool() ? -1 : list->currentIndex();
}

// Shows a text with no entry selected.
void ShowUnselectedText(QComboBox* list, const QString& text) {
    const QSignalBlocker block(list);
    list->setCurrentIndex(-1);
    list->setEditText(text);
    list->setProperty(kEditedProperty, false);
    list->setProperty(kLoadedProperty, text);
}

// The zone list key that text typed into a zone list names, found as a received TZID is: a key
// or display name of the list, a tz database name, an alias or an older form of one, without
// regard to case. False when it names no zone of the list.
bool ZoneKeyOfText(const CStringW& text, CStringW& zoneKey) {
    if (text.IsEmpty()) return false;
    CStringW display;
    if (FindTimeZoneByKey(text, nullptr, &display, nullptr) == R_OK) return FindTimeZoneByDisplay(display, &zoneKey) == R_OK;
    if (FindTimeZoneByDisplay(text, &zoneKey) == R_OK) return true;
    const std::shared_ptr<const RZoneRules> rules = ResolveZoneRules(text);
    return rules && !rules->OlsonName().empty() &&
           MapTzidToWindowsZone(CStringW::FromUtf8(rules->OlsonName()), zoneKey) == R_OK;
}

// The parts of a rule text between its semicolons.
QStringList RuleParts(const CStringA& rule) { return QString::fromUtf8(rule.GetString()).split(';', Qt::SkipEmptyParts); }

// The value of a rule's UNTIL part as written; empty without one.
CStringA RuleUntilText(const CStringA& rule) {
    for (const QString& part : RuleParts(rule)) {
        if (part.section('=', 0, 0).trimmed().toUpper() == "UNTIL") return ToCStringA(part.section('=', 1).trimmed());
    }
    return CStringA();
}

// The zone whose days a zoned series ends in: its own, or the display zone for a UTC series.
CStringW SeriesDayZone(const RIcsDateTime& seriesStart, const CStringW& displayZone) {
    const CStringW zone = CStringW::FromUtf8(seriesStart.tzid);
    return zone == CStringW(u"Z") ? displayZone : zone;
}

QComboBox* MakeEditableCombo(QWidget* parent, const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    QObject::connect(list->lineEdit(), &QLineEdit::textEdited, list,
                     [list] { list->setProperty(kEditedProperty, true); });
    QObject::connect(list, QOverload<int>::of(&QComboBox::activated), list,
                     [list] { list->setProperty(kEditedProperty, false); });
    return list;
}

// The attendee state icons: accepted, declined, tentative, any other state.
QIcon AttendeeIcon(int image) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colours[] = {QColor(46, 125, 50), QColor(198, 40, 40), QColor(249, 168, 37), QColor(120, 120, 120)};
    painter.setBrush(colours[image]);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 12, 12);
    painter.setPen(QPen(Qt::white, 2));
    switch (image) {
        case 0: painter.drawPolyline(QPolygon({QPoint(5, 8), QPoint(7, 10), QPoint(11, 5)})); break;
        case 1:
            painter.drawLine(5, 5, 11, 11);
            painter.drawLine(11, 5, 5, 11);
            break;
        case 2: painter.drawText(QRect(2, 2, 12, 12), Qt::AlignCenter, "?"); break;
        default: painter.drawLine(5, 8, 11, 8); break;
    }
    return QIcon(pixmap);
}

int AttendeeImage(const char* partStat) {
    const std::string state = partStat != nullptr ? partStat : "";
    if (state == "ACCEPTED") return 0;
    if (state == "DECLINED") return 1;
    if (state == "TENTATIVE") return 2;
    return 3;
}

QString WithUnixLineBreaks(QString text) {
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    return text;
}

}  // namespace

REditEventDialog::REditEventDialog() = default;
REditEventDialog::~REditEventDialog() = default;

int REditEventDialog::EditItem(ROrvaneCalendarItem* item, QWidget* parent) {
    if (item != item_.get()) {
        item_ = RRef<ROrvaneCalendarItem>::Share(item);
        durationDays_ = item != nullptr ? item->GetDurationDays() : 0;
        recurrence_ = nullptr;
    }
    repeatChanged_ = false;
    untilChanged_ = false;
    QDialog dialog(parent);
    Controls controls;
    controls_ = &controls;
    controls.dialog = &dialog;
    BuildWindow(dialog);
    LoadItemIntoControls();
    (void)platform::ui::RunModal(dialog);
    controls_ = nullptr;
    shownStart_ = nullptr;
    shownEnd_ = nullptr;
    return 0;
}

int REditEventDialog::RunApplyChangesDialog() {
    RApplyChangesDialog question;
    return question.DoModal(controls_ != nullptr ? controls_->dialog : nullptr);
}

void REditEventDialog::BuildWindow(QDialog& dialog) {
    Controls& c = *controls_;
    dialog.setWindowTitle("Orvane - Edit Event");
    auto* grid = new QGridLayout(&dialog);
    auto label = [&dialog](const char* text) {
        auto* shown = new QLabel(text, &dialog);
        shown->setTextFormat(Qt::PlainText);
        return shown;
    };

    c.summary = new QLineEdit(&dialog);
    c.summary->setObjectName(kSummary);
    QFont summaryFont("Arial");
    summaryFont.setBold(true);
    summaryFont.setPointSizeF(255.0 / 20.0);  // 255 twips
    c.summary->setFont(summaryFont);
    grid->addWidget(c.summary, 0, 0, 1, 6);

    c.location = new QLineEdit(&dialog);
    c.location->setObjectName(kLocation);
    grid->addWidget(label("location:"), 1, 0);
    grid->addWidget(c.location, 1, 1, 1, 5);

    c.allDay = new QCheckBox("all day:", &dialog);
    c.allDay->setObjectName(kAllDay);
    c.allDay->setLayoutDirection(Qt::RightToLeft);
    grid->addWidget(c.allDay, 2, 0);

    c.startDate = new QDateEdit(&dialog);
    c.startDate->setObjectName(kStartDate);
    c.startDate->setCalendarPopup(true);
    c.startTime = new QTimeEdit(&dialog);
    c.startTime->setObjectName(kStartTime);
    c.startTime->setDisplayFormat("HH:mm");
    c.endDate = new QDateEdit(&dialog);
    c.endDate->setObjectName(kEndDate);
    c.endDate->setCalendarPopup(true);
    c.endTime = new QTimeEdit(&dialog);
    c.endTime->setObjectName(kEndTime);
    c.endTime->setDisplayFormat("HH:mm");
    grid->addWidget(label("from:"), 3, 0);
    grid->addWidget(c.startDate, 3, 1);
    grid->addWidget(c.startTime, 3, 2);
    grid->addWidget(label("to:"), 3, 3);
    grid->addWidget(c.endDate, 3, 4);
    grid->addWidget(c.endTime, 3, 5);

    c.zoneBox = new QCheckBox("time zone:", &dialog);
    c.zoneBox->setObjectName(kZoneBox);
    c.zoneBox->setLayoutDirection(Qt::RightToLeft);
    c.startZone = MakeEditableCombo(&dialog, kStartZone);
    c.endZone = MakeEditableCombo(&dialog, kEndZone);
    grid->addWidget(c.zoneBox, 4, 0);
    grid->addWidget(label("from:"), 5, 0);
    grid->addWidget(c.startZone, 5, 1, 1, 2);
    grid->addWidget(label("to:"), 5, 3);
    grid->addWidget(c.endZone, 5, 4, 1, 2);

    c.repeat = MakeEditableCombo(&dialog, kRepeat);
    c.untilBox = new QCheckBox("until:", &dialog);
    c.untilBox->setObjectName(kUntilBox);
    c.untilBox->setLayoutDirection(Qt::RightToLeft);
    c.untilDate = new QDateEdit(&dialog);
    c.untilDate->setObjectName(kUntilDate);
    c.untilDate->setCalendarPopup(true);
    c.untilCover = new QLineEdit(&dialog);
    c.untilCover->setObjectName(kUntilCover);
    c.untilCover->setEnabled(false);
    c.untilCover->hide();
    grid->addWidget(label("repeat:"), 6, 0);
    grid->addWidget(c.repeat, 6, 1, 1, 2);
    grid->addWidget(c.untilBox, 6, 3);
    grid->addWidget(c.untilDate, 6, 4);
    grid->addWidget(c.untilCover, 6, 4);

    c.attendees = new QListWidget(&dialog);
    c.attendees->setObjectName(kAttendees);
    c.attendees->setIconSize(QSize(16, 16));
    c.attendees->setMaximumHeight(90);
    grid->addWidget(label("attendees:"), 7, 0, Qt::AlignTop);
    grid->addWidget(c.attendees, 7, 1, 1, 5);

    c.calendar = MakeEditableCombo(&dialog, kCalendar);
    grid->addWidget(label("calendar:"), 8, 0);
    grid->addWidget(c.calendar, 8, 1, 1, 2);
    c.url = new QLineEdit(&dialog);
    c.url->setObjectName(kUrl);
    grid->addWidget(label("url:"), 9, 0);
    grid->addWidget(c.url, 9, 1, 1, 5);
    c.note = new QPlainTextEdit(&dialog);
    c.note->setObjectName(kNote);
    c.note->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->addWidget(label("note:"), 10, 0, Qt::AlignTop);
    grid->addWidget(c.note, 10, 1, 1, 5);

    auto* buttons = new QDialogButtonBox(&dialog);
    c.deleteButton = buttons->addButton("&Delete", QDialogButtonBox::DestructiveRole);
    c.deleteButton->setObjectName(kDelete);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    grid->addWidget(buttons, 11, 0, 1, 6);
    dialog.resize(825, 430);

    FillTimeZoneCombo(c.startZone);
    FillTimeZoneCombo(c.endZone);
    FillCalendarCombo(c.calendar);
    FillRepeatCombo(c.repeat);

    QObject::connect(c.allDay, &QCheckBox::clicked, &dialog, [this] { OnAllDayClicked(); });
    QObject::connect(c.startDate, &QDateEdit::dateChanged, &dialog, [this] { OnStartDateChanged(); });
    QObject::connect(c.startTime, &QTimeEdit::timeChanged, &dialog, [this] { OnStartTimeChanged(); });
    QObject::connect(c.endDate, &QDateEdit::dateChanged, &dialog, [this] { OnEndChanged(); });
    QObject::connect(c.endTime, &QTimeEdit::timeChanged, &dialog, [this] { OnEndChanged(); });
    QObject::connect(c.zoneBox, &QCheckBox::clicked, &dialog, [this] { OnTimeZoneClicked(); });
    QObject::connect(c.startZone, QOverload<int>::of(&QComboBox::activated), &dialog, [this] { OnStartZoneChanged(); });
    QObject::connect(c.endZone, QOverload<int>::of(&QComboBox::activated), &dialog, [this] { OnEndZoneChanged(); });
    QObject::connect(c.repeat, QOverload<int>::of(&QComboBox::activated), &dialog, [this] { OnRepeatChanged(); });
    QObject::connect(c.untilBox, &QCheckBox::clicked, &dialog, [this] { OnUntilClicked(); });
    QObject::connect(c.untilDate, &QDateEdit::dateChanged, &dialog, [this] { OnUntilDateChanged(); });
    QObject::connect(c.deleteButton, &QPushButton::clicked, &dialog, [this] { OnDelete(); });
    QObject::connect(ok, &QPushButton::clicked, &dialog, [this, &dialog] {
        if (!ZonesAreKnown()) return;  // the user was told; the dialog stays open
        (void)SaveControlsToItem();
        dialog.done(platform::ui::IDOK);
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, [&dialog] { dialog.done(platform::ui::IDCANCEL); });
}

void REditEventDialog::FillTimeZoneCombo(QComboBox* list) {
    if (list->count() > 0) return;
    const QSignalBlocker block(list);
    CStringW probe;
    if (GetTimeZoneAt(0, &probe, nullptr, nullptr, nullptr) != R_OK) LoadTimeZones();
    CStringW key, olson, display;
    for (int i = 0; GetTimeZoneAt(i, &key, &olson, &display, nullptr) == R_OK; ++i) {
        list->addItem(ToQString(display), kZoneValueBase + i);
    }
    list->model()->sort(0);
    list->setCurrentIndex(-1);
}

void REditEventDialog::FillCalendarCombo(QComboBox* list) {
    if (!item_ || item_->GetAccount() == nullptr) return;
    const QSignalBlocker block(list);
    ShowUnselectedText(list, QString());
    for (const auto& [name, guid] : item_->GetAccount()->FillCalendarComboBox(false)) {
        list->addItem(ToQString(name), ToQString(guid));
    }
    list->setCurrentIndex(-1);
}

void REditEventDialog::FillRepeatCombo(QComboBox* list) {
    if (list->count() > 0) return;
    const QSignalBlocker block(list);
    const char* names[] = {"None", "Daily", "Weekly", "Monthly", "Yearly", "Custom"};
    for (int i = 0; i < 6; ++i) list->addItem(names[i], kRepeatNone + i);
    list->setCurrentIndex(-1);
}

QString REditEventDialog::RepeatDescription(RIcsRecurrence* rule) {
    if (rule == nullptr) return QString();
    const std::string freq = static_cast<const char*>(rule->freq);
    QString name;
    if (freq == "YEARLY") {
        name = "Yearly";
    } else if (freq == "MONTHLY") {
        name = "Monthly";
    } else if (freq == "WEEKLY") {
        name = "Weekly";
    } else if (freq == "DAILY") {
        name = "Daily";
    } else {
        return "Custom";
    }
    return rule->interval >= 2 ? name + " - Custom" : name;
}

void REditEventDialog::LoadItemIntoControls() {
    Controls& c = *controls_;
    ROrvaneCalendarItem* item = item_.get();
    ROrvaneCalendar* calendar = item != nullptr ? item->GetCalendar() : nullptr;
    const QList<QWidget*> inputs = {c.summary, c.location, c.allDay, c.startDate, c.startTime, c.endDate, c.endTime,
                                    c.zoneBox, c.startZone, c.endZone, c.repeat, c.untilBox, c.untilDate,
                                    c.untilCover, c.attendees, c.calendar, c.url, c.note};
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    for (QWidget* input : inputs) blockers.push_back(std::make_unique<QSignalBlocker>(input));

    c.summary->setText(item != nullptr ? ToQString(item->GetSummary()) : QString());
    ShowUnselectedText(c.calendar, calendar != nullptr ? ToQString(calendar->GetDisplayName()) : QString());
    c.location->setText(item != nullptr ? ToQString(item->GetLocation()) : QString());
    c.url->setText(item != nullptr ? ToQString(item->GetURL()) : QString());
    c.note->setPlainText(item != nullptr ? WithUnixLineBreaks(ToQString(item->GetDescription())) : QString());

    const bool allDay = item == nullptr || item->IsAllDay();
    c.allDay->setChecked(allDay);
    c.startTime->setEnabled(!allDay);
    c.endTime->setEnabled(!allDay);

    const CStringA startZone = item != nullptr ? item->GetDTStartOlsonTZ() : CStringA();
    const CStringA endZone = item != nullptr ? item->GetDTEndOlsonTZ() : CStringA();
    const CStringA displayZone = item != nullptr ? item->GetWhiteRabbitTimeZone() : CStringA();
    RIcsDateTime* occurrenceStart = item != nullptr ? item->GetOccurrenceStart() : nullptr;
    RIcsDateTime* occurrenceEnd = item != nullptr ? item->GetOccurrenceEnd() : nullptr;
    auto shown = [&](RIcsDateTime* value, const CStringA& zone) {
        RRef<RIcsDateTime> copy = RRef<RIcsDateTime>::Adopt(value != nullptr ? RIcsDateTime::Clone(*value) : new RIcsDateTime);
        if (!copy) return copy;
        if (zone == "Z" && !displayZone.IsEmpty()) {
            SYSTEMTIME st = ToSystemTime(copy->dateTime);
            if (ConvertSystemTimeBetweenZones(CStringW(u"Z"), CStringW::FromUtf8(displayZone.AsView()), &st) == R_OK) {
                copy->dateTime.FromSystemTime(&st);
                copy->SetTzid(displayZone);
            }
        }
        copy->ClearTextCaches();
        return copy;
    };
    shownStart_ = shown(occurrenceStart, startZone);
    shownEnd_ = shown(occurrenceEnd, endZone);
    if (shownStart_) SetPickers(c.startDate, c.startTime, shownStart_->dateTime);
    if (shownEnd_) SetPickers(c.endDate, c.endTime, shownEnd_->dateTime);

    const bool zoned = occurrenceStart != nullptr && occurrenceStart->tzid[0] != '\0' && !allDay;
    c.zoneBox->setChecked(zoned);
    c.zoneBox->setEnabled(!allDay);
    c.startZone->setEnabled(zoned);
    c.endZone->setEnabled(zoned);
    auto zoneText = [&](RIcsDateTime* value, const CStringA& zone) {
        if (zone == "Z" && !displayZone.IsEmpty()) return ToQString(displayZone);
        return value != nullptr ? QString::fromUtf8(value->tzid) : QString();
    };
    ShowUnselectedText(c.startZone, zoned ? zoneText(occurrenceStart, startZone) : QString());
    ShowUnselectedText(c.endZone, zoned ? zoneText(occurrenceEnd, endZone) : QString());

    ShowUnselectedText(c.repeat, QString());
    bool hasEnd = false;
    QDate seriesEnd;
    readUntil_ = CStringA();
    if (item != nullptr && item->IsException()) {
        c.repeat->setEnabled(false);
        c.untilBox->setEnabled(false);
    } else if (item != nullptr) {
        if (!recurrence_) recurrence_ = RRef<RIcsRecurrence>::Share(item->GetRecurrence());
        ShowUnselectedText(c.repeat, RepeatDescription(recurrence_.get()));
        if (recurrence_ && item->GetDTStart() != nullptr) {
            const bool ownsLast = recurrence_->until == nullptr;
            RIcsDateTime* last = recurrence_->GetLastOccurrence(item->GetDTStart());
            if (last != nullptr) {
                hasEnd = true;
                CStringW displayZone;
                GetCurrentTimeZone(nullptr, &displayZone);
                seriesEnd = UntilDay(*item->GetDTStart(), *last, displayZone);
                if (ownsLast) last->Release();
            }
            if (!ownsLast) readUntil_ = RuleUntilText(item->GetRRule());
        }
    }
    c.untilBox->setChecked(hasEnd);
    c.untilDate->setEnabled(hasEnd);
    if (hasEnd) c.untilDate->setDate(seriesEnd);
    shownUntil_ = hasEnd ? seriesEnd : QDate();
    c.untilCover->setVisible(!hasEnd);
    c.untilDate->setVisible(hasEnd);

    c.attendees->clear();
    const int attendees = item != nullptr ? item->GetAttendeeCount() : 0;
    for (int i = 0; i < attendees; ++i) {
        RIcsAttendee* attendee = item->GetAttendeeAt(i);
        if (attendee == nullptr) continue;
        auto* entry = new QListWidgetItem(AttendeeIcon(AttendeeImage(attendee->GetPartStat())),
                                          QString::fromUtf8(attendee->GetCn()));
        c.attendees->insertItem(i, entry);
    }

    if (calendar != nullptr && calendar->IsReadOnly()) {
        for (QWidget* input : inputs) input->setEnabled(false);
        // Nothing of a read-only calendar can be deleted either: the button is left out, so no
        // press of it does nothing without a word (a disabled button looks pressable in some looks).
        c.deleteButton->setEnabled(false);
        c.deleteButton->hide();
    }
}

RRef<RIcsDateTime> REditEventDialog::BuildDateTimeFromControls(QComboBox* zoneList, QDateEdit* datePicker,
                                                               QTimeEdit* timePicker) {
    Controls& c = *controls_;
    RRef<RIcsDateTime> value = RRef<RIcsDateTime>::Adopt(new RIcsDateTime);
    value->dateTime = ReadPickers(datePicker, timePicker, false);
    value->dateOnly = c.allDay->isChecked();
    if (value->dateOnly) {
        value->dateTime.hour = value->dateTime.minute = 0;
        value->dateTime.second = 0;
    }
    CStringA tzid;
    // Text that names no zone was refused before saving began; it never becomes a TZID.
    if (c.zoneBox->isChecked() && !value->dateOnly && !ZoneListTzid(zoneList, &tzid)) tzid = CStringA();
    value->SetTzid(tzid);
    value->floating = tzid.IsEmpty();
    value->ClearTextCaches();
    return value;
}

bool REditEventDialog::ZoneListTzid(QComboBox* zoneList, CStringA* tzid) {
    Controls& c = *controls_;
    *tzid = CStringA();
    const int selected = SelectedIndex(zoneList);
    if (selected >= 0) {
        CStringW key;
        if (GetTimeZoneAt(zoneList->itemData(selected).toInt() - kZoneValueBase, &key, nullptr, nullptr, nullptr) == R_OK) {
            *tzid = TzidForZoneKey(key);
        }
        return true;
    }
    auto asLoaded = [](QComboBox* list) {
        return SelectedIndex(list) < 0 && list->currentText() == list->property(kLoadedProperty).toString();
    };
    const QString text = zoneList->currentText().trimmed();
    if (text.isEmpty()) {
        // An end left empty takes the start's zone, unless both lists still show what the item
        // was opened with.
        const bool asOpened = asLoaded(c.startZone) && asLoaded(c.endZone);
        return zoneList == c.endZone && !asOpened ? ZoneListTzid(c.startZone, tzid) : true;
    }
    // The TZID the item was opened with stays as it was read.
    if (asLoaded(zoneList)) {
        *tzid = ToCStringA(zoneList->currentText());
        return true;
    }
    CStringW key;
    if (!ZoneKeyOfText(ToCStringW(text), key)) return false;
    *tzid = TzidForZoneKey(key);
    return true;
}

CStringA REditEventDialog::TzidForZoneKey(const CStringW& zoneKey) {
    CStringW olson;
    TimeZoneRecord stored;
    ROrvaneDataManager* store = item_ ? item_->GetDataManager() : nullptr;
    if (MapZoneKeyToOlsonId(zoneKey, olson) == R_OK && store != nullptr &&
        store->FindTimeZoneByOlsonID(olson.ToUtf8(), &stored) == R_OK) {
        return olson.ToUtf8();
    }
    return zoneKey.ToUtf8();
}

bool REditEventDialog::ZonesAreKnown() {
    Controls& c = *controls_;
    if (!c.zoneBox->isChecked() || c.allDay->isChecked()) return true;
    for (QComboBox* list : {c.startZone, c.endZone}) {
        CStringA tzid;
        if (ZoneListTzid(list, &tzid)) continue;
        QMessageBox refusal(QMessageBox::Warning, "Orvane - Edit Event",
                            QString("\"%1\" is not a time zone. Choose a zone from the list.").arg(list->currentText().trimmed()),
                            QMessageBox::Ok, c.dialog);
        refusal.setTextFormat(Qt::PlainText);
        (void)platform::ui::RunModal(refusal);
        list->setFocus();
        return false;
    }
    return true;
}

CStringA REditEventDialog::ReplaceRuleEnd(const CStringA& rule, const CStringA& until) {
    CStringA result;
    for (const QString& part : RuleParts(rule)) {
        const QString name = part.section('=', 0, 0).trimmed().toUpper();
        if (name == "UNTIL" || name == "COUNT") continue;
        if (!result.IsEmpty()) result += ";";
        result += ToCStringA(part);
    }
    if (!until.IsEmpty() && !result.IsEmpty()) result += CStringA(";UNTIL=") + until;
    return result;
}

CStringA REditEventDialog::UntilValue(const RIcsDateTime& seriesStart, const QDate& day, const CStringW& displayZone) {
    RDateTime end = FromQ(day, QTime(23, 59, 59));
    char text[64];
    if (seriesStart.dateOnly) {
        std::snprintf(text, sizeof text, "%04d%02d%02d", end.year, end.month, end.day);
        return CStringA(text);
    }
    const CStringW zone = CStringW::FromUtf8(seriesStart.tzid);
    if (zone.IsEmpty()) {
        std::snprintf(text, sizeof text, "%04d%02d%02dT235959", end.year, end.month, end.day);
        return CStringA(text);
    }
    // A zoned series ends at the instant its last day ends there, written in UTC as a zoned
    // start requires.
    SYSTEMTIME st = ToSystemTime(end);
    const CStringW from = SeriesDayZone(seriesStart, displayZone);
    if (!from.IsEmpty() && from != CStringW(u"Z")) (void)ConvertSystemTimeBetweenZones(from, CStringW(u"Z"), &st);
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02dZ", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                  st.wSecond);
    return CStringA(text);
}

QDate REditEventDialog::UntilDay(const RIcsDateTime& seriesStart, const RIcsDateTime& last, const CStringW& displayZone) {
    const QDate written = ToQDate(last.dateTime);
    if (seriesStart.dateOnly || last.dateOnly || std::strcmp(last.tzid, "Z") != 0) return written;
    const CStringW zone = SeriesDayZone(seriesStart, displayZone);
    if (zone.IsEmpty() || zone == CStringW(u"Z")) return written;
    SYSTEMTIME st = ToSystemTime(last.dateTime);
    if (ConvertSystemTimeBetweenZones(CStringW(u"Z"), zone, &st) != R_OK) return written;
    return QDate(st.wYear, st.wMonth, st.wDay);
}

CStringA REditEventDialog::BuildRRule() {
    Controls& c = *controls_;
    const int selected = SelectedIndex(c.repeat);
    const int choice = selected >= 0 ? c.repeat->itemData(selected).toInt() : 0;
    CStringA until;
    if (c.untilBox->isChecked() && item_ && item_->GetDTStart() != nullptr) {
        if (!readUntil_.IsEmpty() && c.untilDate->date() == shownUntil_) {
            until = readUntil_;  // the end the rule had, as it was written
        } else {
            CStringW displayZone;
            GetCurrentTimeZone(nullptr, &displayZone);
            until = UntilValue(*item_->GetDTStart(), c.untilDate->date(), displayZone);
        }
    }
    const char* freq = nullptr;
    switch (choice) {
        case kRepeatDaily: freq = "FREQ=DAILY"; break;
        case kRepeatWeekly: freq = "FREQ=WEEKLY"; break;
        case kRepeatMonthly: freq = "FREQ=MONTHLY"; break;
        case kRepeatYearly: freq = "FREQ=YEARLY"; break;
        case kRepeatNone: return CStringA();
        default: break;
    }
    if (freq != nullptr) {
        CStringA rule(freq);
        if (!until.IsEmpty()) rule += CStringA(";UNTIL=") + until;
        return rule;
    }
    // "Custom", or the until box used without a repeat choice: the stored rule stays, with the
    // end the box now gives.
    const CStringA stored = item_ ? item_->GetRRule() : CStringA();
    return untilChanged_ ? ReplaceRuleEnd(stored, until) : stored;
}

RRef<RIcsDateTime> REditEventDialog::SideToStore(const RRef<RIcsDateTime>& built, const RIcsDateTime* stored,
                                                 const RIcsDateTime& shown, bool relative) {
    if (!built) return built;
    const bool sameZone = std::string(built->tzid) == shown.tzid;
    if (CompareDateTime(built->dateTime, shown.dateTime) == 0 && sameZone && built->dateOnly == shown.dateOnly) {
        return nullptr;  // left alone
    }
    if (!relative || stored == nullptr) return built;
    // The change the user made to this occurrence, applied to the series' own start.
    const qint64 shift = AsUtc(shown.dateTime).secsTo(AsUtc(built->dateTime));
    RRef<RIcsDateTime> moved = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(*stored));
    if (!moved) return built;
    moved->dateTime = FromUtc(AsUtc(stored->dateTime).addSecs(shift));
    moved->dateOnly = built->dateOnly;
    if (!sameZone) {
        moved->SetTzid(built->tzid);
        moved->floating = built->floating;
    }
    moved->ClearTextCaches();
    return moved;
}

bool REditEventDialog::SaveControlsToItem() {
    Controls& c = *controls_;
    if (!item_ || item_->GetCalendar() == nullptr || item_->GetCalendar()->IsReadOnly()) return false;

    int scope = RApplyChangesDialog::kAllInstances;
    RRef<RIcsDateTime> occurrence;
    if (item_->GetOccurrenceStart() != nullptr) {
        occurrence = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(*item_->GetOccurrenceStart()));
    }
    const bool recurring = item_->IsRecurring();
    if (recurring) {
        scope = RunApplyChangesDialog();
        if (scope != RApplyChangesDialog::kThisInstance && scope != RApplyChangesDialog::kAllFuture &&
            scope != RApplyChangesDialog::kAllInstances) {
            return false;
        }
        const bool first = occurrence && item_->GetDTStart() != nullptr &&
                           RIcsDateTime::Compare(*occurrence, *item_->GetDTStart()) == 0;
        if (first && scope == RApplyChangesDialog::kAllFuture) scope = RApplyChangesDialog::kAllInstances;
    }
    RRef<ROrvaneCalendarItem> earlier;
    if (recurring && occurrence && scope != RApplyChangesDialog::kAllInstances) {
        ROrvaneCalendarItem* made = scope == RApplyChangesDialog::kThisInstance
                                        ? item_->CreateOccurrenceException(*occurrence)
                                        : item_->SplitSeries(*occurrence);
        if (made == nullptr) {
            ReportFailure(R_E_OUT_OF_MEMORY, item_.get());
            return false;
        }
        earlier = item_;
        item_ = RRef<ROrvaneCalendarItem>::Adopt(made);
        recurrence_ = nullptr;
    }
    ROrvaneCalendarItem* item = item_.get();

    const int calendarEntry = SelectedIndex(c.calendar);
    if (calendarEntry >= 0) {
        const QString guid = c.calendar->itemData(calendarEntry).toString();
        if (!guid.isEmpty()) (void)item->SetTargetCalendar(guid.toUtf8().constData());
    }
    item->SetSummary(ToCStringW(c.summary->text()));
    item->SetLocation(ToCStringW(c.location->text()));
    item->SetURL(c.url->text().toUtf8().constData());
    item->SetDescription(ToCStringW(c.note->toPlainText()));

    const bool relative = recurring && scope == RApplyChangesDialog::kAllInstances;
    RRef<RIcsDateTime> start = BuildDateTimeFromControls(c.startZone, c.startDate, c.startTime);
    RRef<RIcsDateTime> end = BuildDateTimeFromControls(c.endZone, c.endDate, c.endTime);
    if (shownStart_) start = SideToStore(start, item->GetDTStart(), *shownStart_, relative);
    if (shownEnd_) end = SideToStore(end, item->GetDTEnd(), *shownEnd_, relative);
    if (start) item->SetDTStart(start.get());
    if (end) item->SetDTEnd(end.get());
    if (repeatChanged_) item->SetRRule(BuildRRule());

    CStringA currentFile = item->GetServerFileName();
    CStringA earlierFile;
    RResult result = 0;
    if (earlier && earlier->IsModified()) {
        // A split: the new series and the shortened earlier one go together or not at all.
        earlierFile = earlier->GetServerFileName();
        result = item->SaveSplit(*earlier);
        if (result != 0) {
            currentFile = CStringA();  // taken back from the server again
            ReportFailure(result, earlier.get());
        }
    } else if (item->IsModified()) {
        result = item->Save();
        if (result != 0) {
            ReportFailure(result, item);
        } else if (item->IsModified()) {
            (void)item->StoreIfModified();
        }
    }
    if (result == 0 || result == 412) {
        ROrvaneCalendar* calendar = item->GetCalendar();
        if (calendar != nullptr) {
            RRef<ROrvaneCalendar> hold = RRef<ROrvaneCalendar>::Share(calendar);
            if (!earlierFile.IsEmpty()) (void)hold->FetchItemFromServer(earlierFile);
            if (!currentFile.IsEmpty()) (void)hold->FetchItemFromServer(currentFile);
        }
    }
    PostDataChanged();
    return true;
}

void REditEventDialog::DeleteItem() {
    if (!item_) return;
    ROrvaneCalendar* calendar = item_->GetCalendar();
    if (calendar != nullptr && calendar->IsReadOnly()) return;
    int scope = RApplyChangesDialog::kAllInstances;
    // A changed occurrence belongs to its series: the question and the change are the series',
    // at the occurrence the exception stands for.
    RRef<ROrvaneCalendarItem> series = item_;
    RRef<RIcsDateTime> occurrence;
    if (item_->IsException()) {
        RRef<ROrvaneCalendarItem> master = RRef<ROrvaneCalendarItem>::Adopt(item_->GetMasterItem());
        if (master && master->IsRecurring()) {
            occurrence = master->OccurrenceOf(item_->GetRecurrenceID());
            series = master;
        }
    } else if (item_->GetOccurrenceStart() != nullptr) {
        occurrence = RRef<RIcsDateTime>::Adopt(RIcsDateTime::Clone(*item_->GetOccurrenceStart()));
    }
    if (series->IsRecurring()) {
        scope = RunApplyChangesDialog();
        if (scope != RApplyChangesDialog::kThisInstance && scope != RApplyChangesDialog::kAllFuture &&
            scope != RApplyChangesDialog::kAllInstances) {
            return;
        }
        const bool first = occurrence && series->GetDTStart() != nullptr &&
                           RIcsDateTime::Compare(*occurrence, *series->GetDTStart()) == 0;
        if (first && scope == RApplyChangesDialog::kAllFuture) scope = RApplyChangesDialog::kAllInstances;
    }
    RResult result = 0;
    if (series->IsRecurring() && occurrence && scope != RApplyChangesDialog::kAllInstances) {
        if (scope != RApplyChangesDialog::kThisInstance) {
            series->EndSeriesBefore(*occurrence);
        } else if (series != item_) {
            series->RemoveException(item_->GetRecurrenceID());
        } else {
            series->AddExDate(occurrence.get());
        }
        if (series->IsModified()) result = series->Save();
        if (result == 0 && series->IsModified()) (void)series->StoreIfModified();
    } else if (calendar != nullptr && !item_->GetServerFileName().IsEmpty()) {
        RRef<ROrvaneCalendar> hold = RRef<ROrvaneCalendar>::Share(calendar);
        result = hold->DeleteItemOnServer(item_->GetServerFileName());
    }
    if (result != 0) ReportFailure(result, item_.get());
    PostDataChanged();
}

void REditEventDialog::ReportFailure(RResult code, ROrvaneCalendarItem* item) {
    COrvaneApp* app = COrvaneApp::Instance();
    if (app == nullptr) return;
    ROrvaneAccount* account = item != nullptr ? item->GetAccount() : nullptr;
    ROrvaneCalendar* calendar = item != nullptr ? item->GetCalendar() : nullptr;
    app->ErrorDialog().SetError(account != nullptr ? CStringW::FromUtf8(account->GetDescription().AsView()) : CStringW(),
                                code,
                                calendar != nullptr ? CStringW::FromUtf8(calendar->GetDisplayName().AsView()) : CStringW(),
                                item != nullptr ? item->GetSummary() : CStringW());
    (void)app->ErrorDialog().DoModal(controls_ != nullptr ? controls_->dialog : nullptr);
}

void REditEventDialog::PostDataChanged() {
    COrvaneApp* app = COrvaneApp::Instance();
    COrvaneView* view = app != nullptr ? app->GetView(0) : nullptr;
    if (view != nullptr) {
        (void)platform::messages::PostAppMessage(view->Target(), platform::messages::WM_APP_DATA_CHANGED,
                                                 reinterpret_cast<std::uintptr_t>(this), 0);
    }
}

void REditEventDialog::OnAllDayClicked() {
    Controls& c = *controls_;
    const bool checked = c.allDay->isChecked();
    if (checked) {
        RDateTime start = ReadPickers(c.startDate, c.startTime, true);
        RDateTime end = ReadPickers(c.endDate, c.endTime, true);
        start.hour = start.minute = 0;
        start.second = 0;
        end.hour = end.minute = 0;
        end.second = 0;
        // An all-day end is exclusive: a one-day event ends at the next midnight.
        if (ToQDate(end) == ToQDate(start)) end.NextDay();
        SetPickers(c.startDate, c.startTime, start);
        SetPickers(c.endDate, c.endTime, end);
    }
    c.startTime->setEnabled(!checked);
    c.endTime->setEnabled(!checked);
}

namespace {
// An all-day end is exclusive: it lies at least one day after the start, or the event would
// have no length (an event first timed for an hour keeps that hour as its length).
void KeepAllDayEnd(bool allDay, const RDateTime& start, RDateTime& end) {
    if (allDay && ToQDate(end) <= ToQDate(start)) {
        end = start;
        end.NextDay();
    }
}
}  // namespace

void REditEventDialog::OnStartDateChanged() {
    Controls& c = *controls_;
    const RDateTime start = ReadPickers(c.startDate, c.startTime, true);
    RDateTime end = start;
    end.AddDays(durationDays_);
    KeepAllDayEnd(c.allDay->isChecked(), start, end);
    SetPickers(c.endDate, c.endTime, end);
}

void REditEventDialog::OnStartTimeChanged() {
    Controls& c = *controls_;
    const RDateTime start = ReadPickers(c.startDate, c.startTime, false);
    RDateTime end = start;
    end.AddDays(durationDays_);
    KeepAllDayEnd(c.allDay->isChecked(), start, end);
    SetPickers(c.endDate, c.endTime, end);
}

void REditEventDialog::OnEndChanged() {
    Controls& c = *controls_;
    RDateTime start = ReadPickers(c.startDate, c.startTime, true);
    const RDateTime end = ReadPickers(c.endDate, c.endTime, true);
    if (CompareDateTime(end, start) < 0) {
        start = end;
        start.PreviousDay();
        SetPickers(c.startDate, c.startTime, start);
    }
}

void REditEventDialog::OnTimeZoneClicked() {
    Controls& c = *controls_;
    const bool checked = c.zoneBox->isChecked();
    RIcsDateTime* start = item_ ? item_->GetOccurrenceStart() : nullptr;
    RIcsDateTime* end = item_ ? item_->GetOccurrenceEnd() : nullptr;
    ShowUnselectedText(c.startZone, checked && start != nullptr ? QString::fromUtf8(start->tzid) : QString());
    ShowUnselectedText(c.endZone, checked && end != nullptr ? QString::fromUtf8(end->tzid) : QString());
    c.startZone->setEnabled(checked);
    c.endZone->setEnabled(checked);
}

void REditEventDialog::OnStartZoneChanged() {
    Controls& c = *controls_;
    const QSignalBlocker block(c.endZone);
    c.endZone->setCurrentIndex(c.startZone->currentIndex());
    c.endZone->setProperty(kEditedProperty, false);
}

void REditEventDialog::OnEndZoneChanged() {
    Controls& c = *controls_;
    const int startEntry = SelectedIndex(c.startZone), endEntry = SelectedIndex(c.endZone);
    if (startEntry < 0 || endEntry < 0) return;
    CStringW startKey, endKey;
    if (GetTimeZoneAt(c.startZone->itemData(startEntry).toInt() - kZoneValueBase, &startKey, nullptr, nullptr, nullptr) !=
            R_OK ||
        GetTimeZoneAt(c.endZone->itemData(endEntry).toInt() - kZoneValueBase, &endKey, nullptr, nullptr, nullptr) != R_OK) {
        return;
    }
    const RDateTime startLocal = ReadPickers(c.startDate, c.startTime, true);
    RDateTime endLocal = ReadPickers(c.endDate, c.endTime, true);
    SYSTEMTIME startUtc = ToSystemTime(startLocal), endUtc = ToSystemTime(endLocal);
    (void)ConvertSystemTimeBetweenZones(startKey, CStringW(u"Z"), &startUtc);
    (void)ConvertSystemTimeBetweenZones(endKey, CStringW(u"Z"), &endUtc);
    if (CompareSystemTime(endUtc, startUtc) < 0) {
        endLocal.NextDay();
        SetPickers(c.endDate, c.endTime, endLocal);
    }
}

void REditEventDialog::OnRepeatChanged() { repeatChanged_ = true; }

void REditEventDialog::OnUntilClicked() {
    Controls& c = *controls_;
    if (!item_ || item_->IsException()) return;
    const bool checked = c.untilBox->isChecked();
    c.untilDate->setEnabled(checked);
    c.untilDate->setVisible(checked);
    c.untilCover->setVisible(!checked);
    c.untilCover->setEnabled(false);
    if (!recurrence_) recurrence_ = RRef<RIcsRecurrence>::Share(item_->GetRecurrence());
    repeatChanged_ = true;
    untilChanged_ = true;
}

void REditEventDialog::OnUntilDateChanged() {
    if (!item_ || item_->IsException()) return;
    if (!recurrence_) recurrence_ = RRef<RIcsRecurrence>::Share(item_->GetRecurrence());
    repeatChanged_ = true;
    untilChanged_ = true;
}

void REditEventDialog::OnDelete() {
    DeleteItem();
    if (controls_ != nullptr) controls_->dialog->done(kDeleted);
}
