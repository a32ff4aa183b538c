#include "status_list_window.h"

#include "auction_timers.h"
#include "browser_host.h"
#include "japanese.h"
#include "persistence.h"
#include "readable_colour.h"
#include "service_clock.h"
#include "service_mark.h"
#include "services.h"
#include "settings_fields.h"
#include "state_store.h"
#include "status_line.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

// Outside any namespace, as Q_INIT_RESOURCE requires.
static void initAlarmResources()
{
    Q_INIT_RESOURCE(alarm);
}

namespace {

const QColor kWhite(255, 255, 255);
const QColor kEndedGrey(192, 192, 192);
const QColor kRed(255, 0, 0);
const QColor kDarkGreen(0, 64, 0);
const QColor kBlue(0, 0, 255);
const QColor kDarkGrey(64, 64, 64);
const QColor kPanelGrey(224, 224, 224);

// Each row sits 360 twips (24 pixels at 96 dpi) below the one before.
constexpr int kRowHeight = 24;

QPixmap mark(const QString &name)
{
    initAlarmResources();
    QPixmap pixmap(50, 12);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(u":/alarm/"_s + name);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QLineEdit *textBox(const QString &name, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    // Selectable for copying, but the keyboard starts on the buttons.
    box->setFocusPolicy(Qt::ClickFocus);
    box->setFixedHeight(kRowHeight - 2);
    return box;
}

// A text box drawn on the window's own background, as a label is, with a
// fixed text colour made to read on it.
void onWindowBackground(QLineEdit *box, const QColor &text)
{
    QPalette p = box->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));
    box->setPalette(p);
    ReadableColour::setText(box, text);
}

QLabel *label(const QString &text, QWidget *parent, const QColor *colour = nullptr)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    if (colour)
        ReadableColour::setText(l, *colour);
    return l;
}

QLabel *serviceMark(const QString &name, const QPixmap &picture, const QString &service, QWidget *parent)
{
    auto *mark = new QLabel(parent);
    mark->setObjectName(name);
    mark->setPixmap(picture);
    mark->setFixedSize(50, 12);
    mark->setAccessibleName(service);
    mark->setToolTip(service);
    mark->hide();
    return mark;
}

QFont japaneseFont(double points, bool bold)
{
    QFont f;
    f.setFamilies({ u"ＭＳ Ｐゴシック"_s, u"Noto Sans CJK JP"_s });
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

} // namespace

QString statusListClockText(const QDateTime &now)
{
    return now.toOffsetFromUtc(kJapanOffsetSeconds).toString(u"yy/MM/dd HH:mm:ss"_s);
}

StatusListWindow::StatusListWindow(Services &services)
    : QWidget(nullptr, Qt::Window)
    , m_services(services)
{
    setObjectName(u"frmAlarm"_s);
    setWindowTitle(u"Larkvane"_s);
    setAttribute(Qt::WA_DeleteOnClose);

    // Title row with the clock on the right, a rule under it.
    auto *title = label(u"現在のタイマー使用状況"_s, this);
    title->setFont(japaneseFont(11.25, true));
    auto *clockCaption = label(u"現在時刻 ："_s, this, &kDarkGrey);
    m_now = new QLineEdit(u"00/00/00 00:00:00"_s, this);
    m_now->setObjectName(u"Nowtime"_s);
    m_now->setAccessibleName(u"現在時刻"_s);
    m_now->setReadOnly(true);
    m_now->setFrame(false);
    m_now->setFocusPolicy(Qt::NoFocus);
    QFont nowFont = m_now->font();
    nowFont.setBold(true);
    m_now->setFont(nowFont);
    onWindowBackground(m_now, kBlue);
    m_now->setMinimumWidth(m_now->fontMetrics().horizontalAdvance(u"00/00/00 00:00:00"_s) + 12);

    auto *titleRow = new QHBoxLayout;
    titleRow->addWidget(title);
    titleRow->addStretch(1);
    titleRow->addWidget(clockCaption);
    titleRow->addWidget(m_now);
    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    // The table: mark, number, title, listing time, end time, price, bids,
    // lead, buttons.
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(kRowHeight - (kRowHeight - 2));
    grid->addWidget(label(u"タイマー監視中の商品名"_s, this), 0, 2);
    grid->addWidget(label(u"ｵｰｸｼｮﾝ登録日時"_s, this), 0, 3);
    grid->addWidget(label(u"ｵｰｸｼｮﾝ終了時間"_s, this, &kRed), 0, 4);
    grid->addWidget(label(u"現在価格"_s, this), 0, 5);
    grid->addWidget(label(u"入札"_s, this), 0, 6);
    grid->addWidget(label(u"┏ お知らせ時間(秒前)"_s, this, &kDarkGreen), 0, 7, 1, 3);
    grid->setColumnMinimumWidth(0, 50);
    grid->setColumnStretch(2, 1);

    const QPixmap yahoo = mark(u"mark_yahoo.svg"_s);
    const QPixmap bidders = mark(u"mark_bidders.svg"_s);
    const int timeWidth = fontMetrics().horizontalAdvance(u"00/00/00 00:00"_s) + 16;
    for (int n = 1; n <= kSlotCount; ++n) {
        Row &row = m_rows[n - 1];
        const QString num = QString::number(n);
        // What a screen reader says of each control: the row is a timer, as
        // the timer menu names it.
        const QString timer = Japanese::timerName(n);
        row.yahooMark = serviceMark(u"ic_y"_s + num, yahoo, u"Yahoo!オークション"_s, this);
        row.biddersMark = serviceMark(u"ic_b"_s + num, bidders, u"ビッダーズ"_s, this);
        row.title = textBox(u"TimerText"_s + num, this);
        row.title->setMinimumWidth(280);
        row.title->setAccessibleName(timer + u"の商品名"_s);
        // A title too long for its box is read whole from its tip, which
        // would take a title's tags for its own markup.
        connect(row.title, &QLineEdit::textChanged, row.title, [box = row.title](const QString &text) {
            box->setToolTip(text.isEmpty() ? QString() : Qt::convertFromPlainText(text));
        });
        row.listed = textBox(u"starttime"_s + num, this);
        row.listed->setFixedWidth(timeWidth);
        row.listed->setAccessibleName(timer + u"のオークション登録日時"_s);
        row.ends = textBox(u"EndTime"_s + num, this);
        row.ends->setFixedWidth(timeWidth);
        row.ends->setAccessibleName(timer + u"のオークション終了時間"_s);
        row.price = textBox(u"Price"_s + num, this);
        row.price->setFixedWidth(fontMetrics().horizontalAdvance(u"00,000,000円"_s) + 10);
        row.price->setAlignment(Qt::AlignRight);
        row.price->setAccessibleName(timer + u"の現在価格"_s);
        row.bids = textBox(u"Bids"_s + num, this);
        row.bids->setFixedWidth(fontMetrics().horizontalAdvance(u"0000件"_s) + 10);
        row.bids->setAlignment(Qt::AlignRight);
        row.bids->setAccessibleName(timer + u"の入札件数"_s);
        row.lead = textBox(u"Text"_s + num, this);
        row.lead->setFixedWidth(fontMetrics().horizontalAdvance(u"000000"_s) + 10);
        row.lead->setAlignment(Qt::AlignRight);
        row.lead->setAccessibleName(timer + u"のお知らせ時間(秒前)"_s);
        row.cancel = new QPushButton(u"解除"_s, this);
        row.cancel->setObjectName(u"TimerCut"_s + num);
        row.cancel->setAccessibleName(timer + u"を解除"_s);
        row.cancel->setEnabled(false);
        row.view = new QPushButton(u"表示"_s, this);
        row.view->setObjectName(u"TimerView"_s + num);
        row.view->setAccessibleName(timer + u"を表示"_s);
        row.view->setEnabled(false);
        for (QPushButton *b : { row.cancel, row.view }) {
            b->setFixedHeight(kRowHeight - 2);
            b->setToolTip(b->accessibleName());
        }

        setRowBackground(row, kWhite);
        onWindowBackground(row.lead, kDarkGreen);

        grid->addWidget(row.yahooMark, n, 0, Qt::AlignCenter);
        grid->addWidget(row.biddersMark, n, 0, Qt::AlignCenter);
        grid->addWidget(label(num + u'.', this), n, 1, Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(row.title, n, 2);
        grid->addWidget(row.listed, n, 3);
        grid->addWidget(row.ends, n, 4);
        grid->addWidget(row.price, n, 5);
        grid->addWidget(row.bids, n, 6);
        grid->addWidget(row.lead, n, 7);
        grid->addWidget(row.cancel, n, 8);
        grid->addWidget(row.view, n, 9);
        grid->setRowMinimumHeight(n, kRowHeight);

        connect(row.cancel, &QPushButton::clicked, this, [this, n] { cancel(n); });
        connect(row.view, &QPushButton::clicked, this, [this, n] { view(n); });
    }

    auto *notes = new QVBoxLayout;
    notes->setSpacing(2);
    for (const QString &note :
        { u"※背景色が白い項目は現在入札可能商品です。グレーの項目は既に終了している商品です。"_s,
            u"※「N/A」と表示されている部分は、情報が登録されていないか自動認識できなかった項目です。"_s,
            u"※出品者が自動延長の設定をしている時は「ｵｰｸｼｮﾝ終了時間」が随時変わる場合があります。"_s })
        notes->addWidget(label(note, this));

    // The close button on its light grey strip along the bottom.
    auto *panel = new QFrame(this);
    panel->setAutoFillBackground(true);
    ReadableColour::setPair(panel, kPanelGrey, Qt::black);
    auto *closeButton = new QPushButton(u"閉 じ る"_s, panel);
    closeButton->setObjectName(u"cmdClose"_s);
    closeButton->setMinimumWidth(100);
    // The keyboard starts here, never on a row's 解除, where one Space
    // would clear a timer.
    closeButton->setFocus();
    auto *panelRow = new QHBoxLayout(panel);
    panelRow->setContentsMargins(9, 6, 9, 6);
    panelRow->addStretch(1);
    panelRow->addWidget(closeButton);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(9, 9, 9, 6);
    body->addLayout(titleRow);
    body->addWidget(rule);
    body->addLayout(grid);
    body->addSpacing(6);
    body->addLayout(notes);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(body);
    layout->addStretch(1);
    layout->addWidget(panel);

    // 11220 x 5160 twips at 96 dpi, or what the text needs.
    resize(qMax(748, sizeHint().width()), qMax(344, sizeHint().height()));

    auto *clock = new QTimer(this);
    clock->setObjectName(u"Timer1"_s);
    clock->setInterval(1000);
    connect(clock, &QTimer::timeout, this, &StatusListWindow::showTime);
    clock->start();
    // The time at once, not a second of zeros.
    showTime();
}

// White and grey say whether an item can still be bid on, in any theme: they
// stay, and bring their own text colours.
void StatusListWindow::setRowBackground(const Row &row, const QColor &colour)
{
    for (QLineEdit *box : { row.title, row.listed, row.price, row.bids })
        ReadableColour::setPair(box, colour, Qt::black);
    ReadableColour::setPair(row.ends, colour, ReadableColour::on(colour, kRed));
}

void StatusListWindow::fill()
{
    show();
    raise();
    activateWindow();

    const AuctionTimers &timers = m_services.timers;
    // A long title should show its beginning, not where the cursor lands.
    const auto put = [](QLineEdit *box, const QString &text) {
        box->setText(text);
        box->setCursorPosition(0);
    };
    for (int n = 1; n <= kSlotCount; ++n)
        put(m_rows[n - 1].title, timers.timer(n).item().displayName());
    for (int n = 1; n <= kSlotCount; ++n)
        put(m_rows[n - 1].listed, timers.timer(n).item().start);
    for (int n = 1; n <= kSlotCount; ++n)
        put(m_rows[n - 1].ends, timers.timer(n).endText());
    // What is not known yet stays blank: no page has said it.
    for (int n = 1; n <= kSlotCount; ++n) {
        const AuctionItem &item = timers.timer(n).item();
        m_rows[n - 1].price->setText(item.price >= 0 ? yenText(item.price) : QString());
        m_rows[n - 1].bids->setText(item.bids >= 0 ? bidsText(item.bids) : QString());
    }

    const QString generalLead = m_services.store.value(Setting::kLeadSeconds);
    for (int n = 1; n <= kSlotCount; ++n) {
        const AuctionTimer &t = timers.timer(n);
        if (t.isFree())
            continue;
        Row &row = m_rows[n - 1];
        row.cancel->setEnabled(true);
        row.view->setEnabled(true);
        const bool bidders = serviceMarkOf(t.item().url, row.listed->text()) == ServiceMark::Bidders;
        row.biddersMark->setVisible(bidders);
        row.yahooMark->setVisible(!bidders);
        if (t.hasEnded())
            setRowBackground(row, kEndedGrey);
        row.lead->setText(t.ownLead().isEmpty() ? generalLead : t.ownLead());
    }
    update();
}

void StatusListWindow::cancel(int n)
{
    Row &row = m_rows[n - 1];
    row.title->clear();
    row.lead->clear();
    row.listed->clear();
    row.ends->clear();
    row.price->clear();
    row.bids->clear();

    m_services.timers.clear(n);

    row.cancel->setEnabled(false);
    row.view->setEnabled(false);
    row.biddersMark->hide();
    row.yahooMark->hide();
    m_services.statusLine.setText(QString());
    setRowBackground(row, kWhite);
    m_services.persistence.save();

    m_boxes.show(m_services.messages, u"指定のタイマーを解除しました。"_s);
}

void StatusListWindow::view(int n)
{
    m_services.browser.navigate(m_services.timers.timer(n).item().url);
}

void StatusListWindow::showTime()
{
    m_now->setText(statusListClockText(m_services.clock.now()));
}

void StatusListWindow::keyPressEvent(QKeyEvent *event)
{
    // Escape as the close box.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void StatusListWindow::closeEvent(QCloseEvent *event)
{
    m_boxes.noteClose();
    QWidget::closeEvent(event);
}
