#include "alert_window.h"

#include "auction_timer.h"
#include "auction_timers.h"
#include "browser_host.h"
#include "desktop_notifier.h"
#include "log.h"
#include "modal_window.h"
#include "numeric.h"
#include "persistence.h"
#include "screen_twips.h"
#include "services.h"
#include "settings_fields.h"
#include "state_store.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

AlertWindow::AlertWindow(Services &services, DesktopNotifier *notifier)
    // A dialog of fixed size: tiling desktops float it instead of giving it
    // half the screen with the text at the top and the buttons at the bottom.
    : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint)
    , m_services(services)
    , m_notifier(notifier)
{
    setObjectName(u"frmMessage"_s);
    setWindowTitle(u"Larkvane"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    // A warning must not steal the keys of a title the user is typing elsewhere.
    setAttribute(Qt::WA_ShowWithoutActivating);

    m_message = new QLabel(this);
    m_message->setObjectName(u"Label1"_s);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    QFont messageFont(u"ＭＳ Ｐゴシック"_s);
    messageFont.setPointSizeF(9.75);
    m_message->setFont(messageFont);

    m_remaining = new QLabel(this);
    m_remaining->setObjectName(u"Label2"_s);
    m_remaining->setTextFormat(Qt::PlainText);

    auto *frame = new QFrame(this);
    frame->setObjectName(u"Shape1"_s);
    frame->setFrameShape(QFrame::Box);
    m_snoozeSeconds = new QLineEdit(frame);
    m_snoozeSeconds->setObjectName(u"Text1"_s);
    m_snoozeSeconds->setFixedWidth(fontMetrics().horizontalAdvance(u"000000"_s) + 8);
    m_snoozeSeconds->setAccessibleName(u"再設定する秒数"_s);
    auto *retimer = new QPushButton(u"秒　で再設定する"_s, frame);
    retimer->setObjectName(u"retimer"_s);
    // Return in the seconds snoozes.
    retimer->setDefault(true);
    auto *phrase = new QHBoxLayout(frame);
    phrase->setContentsMargins(4, 3, 4, 3);
    phrase->setSpacing(2);
    phrase->addWidget(m_snoozeSeconds);
    phrase->addWidget(retimer);

    auto *show = new QPushButton(u"このｵｰｸｼｮﾝを表示"_s, this);
    show->setObjectName(u"Command2"_s);
    auto *closeButton = new QPushButton(u"閉じる"_s, this);
    closeButton->setObjectName(u"Command1"_s);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(frame);
    buttons->addStretch(1);
    buttons->addWidget(show);
    buttons->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(9, 9, 9, 9);
    layout->addWidget(m_message);
    layout->addWidget(m_remaining);
    layout->addStretch(1);
    layout->addLayout(buttons);

    // 5895 x 1500 twips at 96 dpi, grown where Japanese text needs more.
    setFixedSize(qMax(393, sizeHint().width()), qMax(100, sizeHint().height()));

    m_timer = new QTimer(this);
    m_timer->setObjectName(u"Timer1"_s);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &AlertWindow::countDown);

    connect(retimer, &QPushButton::clicked, this, &AlertWindow::snooze);
    connect(show, &QPushButton::clicked, this, &AlertWindow::showAuction);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    placeAtStoredPosition();
    m_timer->start();
}

void AlertWindow::placeAtStoredPosition()
{
    const StateStore &store = m_services.store;
    const TwipsScale tw = screenTwips();
    m_openedTwips
        = { numericValue(store.value(Setting::kAlertLeft)), numericValue(store.value(Setting::kAlertTop)) };
    QPoint at(tw.toPixelsX(m_openedTwips.x()), tw.toPixelsY(m_openedTwips.y()));
    m_openedPixels = at;
    // A position left behind on a screen that is gone would hide the warning
    // it is all about; bring such a window back onto the primary screen.
    const QRect wanted(at, size());
    bool visible = false;
    for (const QScreen *screen : QGuiApplication::screens())
        visible = visible || screen->availableGeometry().intersects(wanted);
    if (!visible) {
        if (const QScreen *primary = QGuiApplication::primaryScreen()) {
            const QRect area = primary->availableGeometry();
            at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() - width())));
            at.setY(qBound(area.top(), at.y(), qMax(area.top(), area.bottom() - height())));
        }
    }
    move(at);
}

void AlertWindow::setMessage(const QString &text)
{
    m_message->setText(text);
    // A long title wraps; the window grows to show all of it. Its size is
    // fixed, so the height the wrapped text needs at this width is asked
    // for: the size hint guesses the wrapping at a width of its own.
    const int needed
        = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width()) : sizeHint().height();
    setFixedSize(width(), qMax(height(), needed));
}

void AlertWindow::setSnoozeOffer(const QString &text)
{
    m_snoozeSeconds->setText(text);
}

void AlertWindow::setTimer(const AuctionTimer &timer)
{
    m_auction = &timer;
    m_generation = timer.generation();
    m_url = timer.item().url;
    m_title = timer.item().displayName();
    m_priceLine = priceLine(timer.item());
    m_slot = timer.number();
    m_left = timer.secondsLeft();
}

void AlertWindow::present()
{
    show();
    raise();
    QApplication::alert(this);
    // Wayland keeps no ordinary window above the others: the window asks the
    // compositor for activation (xdg-activation), and the notification is
    // what stays in view.
    if (QGuiApplication::platformName().startsWith(u"wayland"_s))
        activateWindow();
    if (m_notifier) {
        // The item, for a push that opens its page.
        const NoticeItem item { m_title, m_url, m_slot };
        // The notification also says what the item costs now; the window
        // keeps its own words.
        m_notifier->showAlert(
            m_priceLine.isEmpty() ? m_message->text() : m_message->text() + u"\n"_s + m_priceLine,
            // Still this window's: as its button. Taken by a newer alert:
            // the page of its own item all the same.
            [window = QPointer<AlertWindow>(this), &browser = m_services.browser, url = m_url,
                slot = m_slot] {
                if (window && window->m_slot == slot && !window->m_keepNotification) {
                    window->showAuction();
                    return;
                }
                browser.showBrowser();
                if (!url.isEmpty())
                    browser.navigate(url);
            },
            item);
    }
}

void AlertWindow::countDown()
{
    // The timer's own count, which follows an extension; a slot cleared or
    // given another item meanwhile leaves the window counting by itself.
    if (m_auction && m_auction->generation() == m_generation && !m_auction->isFree())
        m_left = m_auction->hasEnded() ? 0 : m_auction->secondsLeft();
    else
        --m_left;
    m_left = std::max<qint64>(m_left, 0);
    m_remaining->setText(u"タイマーの残りは "_s + signedForm(double(m_left)) + u"秒です。"_s);
}

void AlertWindow::showAuction()
{
    m_services.browser.showBrowser();
    if (!m_url.isEmpty())
        m_services.browser.navigate(m_url);
    // The browser window came forward; the warning stays in front of it.
    raise();
}

void AlertWindow::snooze()
{
    MessageBox &messages = m_services.messages;
    const QString typed = m_snoozeSeconds->text();
    if (numericValue(typed) < 10) {
        m_boxes.show(messages, u"最低でも10秒以上で設定してください。"_s);
        return;
    }
    // Nothing left on the count: the auction has ended, or waits for its
    // page's word, which an extension would bring.
    const bool sameItem = m_auction && m_auction->generation() == m_generation && !m_auction->isFree();
    if ((sameItem ? (m_auction->hasEnded() ? 0 : m_auction->secondsLeft()) : m_left) <= 0) {
        m_boxes.show(messages,
            u"このオークションは既に終了したようです。自動延長や再出品などで継続している場合もありますのでよく確認しましょう。"_s);
        return;
    }

    // The slot and its item as the button was pressed. While the box is open
    // a newer alert may take the screen; it stays untouched, and a slot
    // cancelled or given another item meanwhile keeps what it has now.
    const int n = m_auction ? m_auction->number() : 0;
    const quint64 generation = m_generation;
    Services &services = m_services;

    const bool stillOpen
        = m_boxes.show(messages, u"タイマーのお知らせ時間を"_s + typed + u"秒前に再設定します。"_s);

    if (n && services.timers.setOwnLead(n, generation, typed))
        services.persistence.save();
    if (stillOpen)
        close();
}

void AlertWindow::keyPressEvent(QKeyEvent *event)
{
    // Escape as the close box; Return as the focused or the default button.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
        && ModalWindow::pressDefaultButton(this))
        return;
    QWidget::keyPressEvent(event);
}

void AlertWindow::closeEvent(QCloseEvent *event)
{
    const TwipsScale tw = screenTwips();
    m_services.store.setValue(
        Setting::kAlertTop, keptTwips(m_openedTwips.y(), m_openedPixels.y(), y(), tw.fromPixelsY(y())));
    m_services.store.setValue(
        Setting::kAlertLeft, keptTwips(m_openedTwips.x(), m_openedPixels.x(), x(), tw.fromPixelsX(x())));
    // Out of the top layer as it goes; the window is hiding anyway, so the
    // re-created native window neither moves nor shows.
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    m_boxes.noteClose();
    if (m_notifier && !m_keepNotification)
        m_notifier->withdrawAlert(m_slot);
    event->accept();
    QWidget::closeEvent(event);
}
