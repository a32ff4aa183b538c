#include "browser_window.h"

#include "browser_engine.h"
#include "browser_layout.h"
#include "direct_access.h"
#include "japanese.h"
#include "message_box.h"
#include "numeric.h"
#include "screen_twips.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <cmath>

#include <utility>

using namespace Qt::StringLiterals;

static void initBrowserResources()
{
    Q_INIT_RESOURCE(browser);
}

namespace {

const QString kAppTitle = u"Larkvane"_s;
const QString kNoEarlierPage = u"これより前に戻れるページはありません。"_s;
const QString kNoLaterPage = u"これ以上、先に進めるページはありません。"_s;
const QString kCommandFailed = u"ご迷惑をおかけします。不具合が発生したので強制終了します。"_s;

QIcon browserIcon(const QString &name)
{
    return QIcon(u":/browser/icons/"_s + name + u".svg"_s);
}

template <class Parent> QMenu *addMenu(Parent *parent, const QString &name, const QString &caption)
{
    QMenu *menu = parent->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

void addSeparator(QMenu *menu, const QString &name)
{
    menu->addSeparator()->setObjectName(name);
}

} // namespace

BrowserWindow::BrowserWindow(
    const wire::Setup &setup, MessageBox &messages, EngineFactory engineFactory, QWidget *parent)
    : QMainWindow(parent)
    , m_setup(setup)
    , m_messages(messages)
    , m_engineFactory(std::move(engineFactory))
    , m_commands(commandTable())
{
    initBrowserResources();
    setObjectName(u"frmWeb"_s);

    m_client = new QWidget(this);
    m_client->setObjectName(u"client"_s);
    m_client->installEventFilter(this);
    setCentralWidget(m_client);

    buildMenus();
    buildToolbar();
    buildFloatingButtons();
    buildStatusBars();

    open();
}

BrowserWindow::~BrowserWindow()
{
    // The engine goes first: its last signals must not reach a half-destroyed
    // window.
    delete m_engine.data();
}

void BrowserWindow::open()
{
    setWindowTitle(kAppTitle);
    setTimerMenuEnabled(false);
    setPageItemsEnabled(false);
    if (!m_engine)
        createEngine();

    const TwipsScale tw = screenTwips();
    for (size_t i = 0; i < m_openedTwips.size(); ++i)
        m_openedTwips[i] = numericValue(m_setup.geometry[i]);
    m_openedPixels = { tw.toPixelsX(m_openedTwips[0]), tw.toPixelsY(m_openedTwips[1]),
        tw.toPixelsX(m_openedTwips[2]), tw.toPixelsY(m_openedTwips[3]) };
    move(m_openedPixels[0], m_openedPixels[1]);
    resize(m_openedPixels[2], m_openedPixels[3]);

    m_toolbar->setVisible(m_setup.bars.toolbar == u"1"_s);
    const bool buttons = m_setup.bars.buttons == u"1"_s;
    m_back->setVisible(buttons);
    m_forward->setVisible(buttons);
    fitBarsAtDefaultWidth();
    layoutClient();

    m_engine->navigate(m_setup.startPage);
}

void BrowserWindow::createEngine()
{
    m_engine = m_engineFactory(m_client);
    QWidget *view = m_engine->widget();
    view->setObjectName(u"WebBrows"_s);
    view->lower();
    view->show();

    connect(m_engine, &BrowserEngine::titleChanged, this,
        [this](const QString &title) { setWindowTitle(title + u" - "_s + kAppTitle); });
    connect(m_engine, &BrowserEngine::statusTextChanged, m_info2, &QLabel::setText);
}

// Every command of the window, once: the menus, the toolbar and its
// drop-downs are laid out from these keys, and a click runs the entry's
// handler.
QList<BrowserWindow::CommandEntry> BrowserWindow::commandTable()
{
    using C = wire::Command;
    auto program
        = [this](C command, int slot = 0) { return [this, command, slot] { choose(command, slot); }; };
    QList<CommandEntry> table {
        // The menus.
        { u"mnuEdit"_s, u"環境設定(&E)"_s, {}, program(C::Settings) },
        { u"mnuTaskclose"_s, u"最小化する"_s, {}, [this] { close(); } },
        { u"mnuFileQuit"_s, u"終了(&Q)"_s, {}, program(C::Exit) },
        { u"mnuPageBack"_s, u"戻る(&B)"_s, {}, [this] { goBack(); } },
        { u"mnuPageForword"_s, u"進む(&F)"_s, {}, [this] { goForward(); } },
        { u"mnuPageStop"_s, u"中止(&S)"_s, {}, [this] { stopPage(); } },
        { u"mnuPageReload"_s, u"リロード(&R)"_s, {}, [this] { reloadPage(); } },
        { u"mnuFileOpenYafuoku"_s, u"ﾎｰﾑ表示"_s, {}, [this] { openYahooHome(); } },
        { u"mnuFileOpenBidders"_s, u"ﾎｰﾑ表示"_s, {}, [this] { openBiddersHome(); } },
        { u"mnukensaku"_s, u"検索(&K)"_s, {}, [this] { openSearchPage(); } },
        { u"mnuBmplus"_s, u"このページを追加する"_s, {}, program(C::AddBookmark) },
        { u"mnuBmedit"_s, u"表示/編集をする"_s, {}, program(C::Bookmarks) },
        { u"mnuTimerlist"_s, u"ﾀｲﾏｰ状況一覧(&L)"_s, {}, program(C::TimerList) },
        { u"mnuPageItems"_s, u"このページの商品から登録…"_s, {}, program(C::TimersFromPage) },
        { u"mnuByAddress"_s, u"URL・オークションIDで登録…"_s, {}, program(C::TimerByAddress) },
        { u"mnuHelpVersion"_s, u"ﾊﾞｰｼﾞｮﾝ情報(&V)..."_s, {}, program(C::Version) },
        // The toolbar; お気に入り and タイマー act through their drop-downs only.
        { u"環境設定"_s, u"環境設定"_s, u"settings"_s, program(C::Settings) },
        { u"戻る"_s, u"戻る"_s, u"back"_s, [this] { goBack(); } },
        { u"進む"_s, u"進む"_s, u"forward"_s, [this] { goForward(); } },
        { u"再読込み"_s, u"再読込み"_s, u"reload"_s, [this] { reloadPage(); } },
        { u"中止"_s, u"中止"_s, u"stop"_s, [this] { stopPage(); } },
        { u"Yダイレクトアクセス"_s, u"Yahoo!"_s, u"yahoo"_s, [this] { openYahooHome(); } },
        { u"Bダイレクトアクセス"_s, u"Bidders"_s, u"bidders"_s, [this] { openBiddersHome(); } },
        { u"検索"_s, u"検索"_s, u"search"_s, [this] { openSearchPage(); } },
        { u"お気に入り"_s, u"お気に入り"_s, u"bookmark"_s, {} },
        { u"タイマー"_s, u"タイマー起動"_s, u"timer"_s, {} },
        { u"タイマー状況一覧"_s, u"タイマー状況一覧"_s, u"timerlist"_s, program(C::TimerList) },
        // The drop-downs.
        { u"D_y_home"_s, u"ホーム表示"_s, {}, [this] { openYahooHome(); } },
        { u"D_b_home"_s, u"ホーム表示"_s, {}, [this] { openBiddersHome(); } },
        { u"bk_add"_s, u"お気に入りに追加"_s, {}, program(C::AddBookmark) },
        { u"bk_edit"_s, u"表示 ／ 編集"_s, {}, program(C::Bookmarks) },
    };
    const QStringList yahooSites = { u"マイオークション"_s, u"ウォッチリスト"_s, u"出品リスト"_s };
    const QStringList yahooKeys = { u"D_y_myac"_s, u"D_y_wacth"_s, u"D_y_syuppin"_s };
    const QStringList yahooEntries = { u"マイ・オークション"_s, u"ウォッチリスト"_s, u"出品リスト"_s };
    for (int i = 0; i < yahooSites.size(); ++i) {
        table.append({ u"mnuFindSite"_s, yahooSites[i], {}, [this, i] { findSite(i); }, i });
        table.append({ yahooKeys[i], yahooEntries[i], {}, [this, i] { findSite(i); } });
    }
    const QStringList biddersSites
        = { u"マイオークション"_s, u"ウォッチリスト"_s, u"出品リスト"_s, u"入札状況一覧"_s, u"アラート"_s };
    const QStringList biddersKeys
        = { u"D_b_myac"_s, u"D_b_wacth"_s, u"D_b_syuppin"_s, u"D_b_nyulist"_s, u"D_b_alert"_s };
    const QStringList biddersEntries
        = { u"マイ・オークション"_s, u"ウォッチリスト"_s, u"出品リスト"_s, u"入札状況一覧"_s, u"アラート"_s };
    for (int i = 0; i < biddersSites.size(); ++i) {
        table.append({ u"mnuFindSiteBD"_s, biddersSites[i], {}, [this, i] { findSiteBD(i); }, i });
        table.append({ biddersKeys[i], biddersEntries[i], {}, [this, i] { findSiteBD(i); } });
    }
    // The timer entries go to their slot even while the timer menu is
    // disabled; registration says itself when the page has no times.
    for (int n = 1; n <= 10; ++n) {
        table.append(
            { u"mnutimer"_s + QString::number(n), Japanese::timerName(n), {}, program(C::Timer, n) });
        table.append({ u"tmr"_s + QString::number(n), Japanese::timerName(n), {}, program(C::Timer, n) });
    }
    return table;
}

const BrowserWindow::CommandEntry *BrowserWindow::command(const QString &key, int index) const
{
    for (const CommandEntry &entry : m_commands) {
        if (entry.key == key && entry.index == index)
            return &entry;
    }
    return nullptr;
}

QAction *BrowserWindow::addCommand(QWidget *to, const QString &key, int index)
{
    const CommandEntry *entry = command(key, index);
    Q_ASSERT(entry);
    auto *action
        = new QAction(entry->icon.isEmpty() ? QIcon() : browserIcon(entry->icon), entry->caption, to);
    action->setObjectName(key);
    action->setProperty("key", key);
    if (index >= 0)
        action->setProperty("index", index);
    if (entry->run)
        connect(action, &QAction::triggered, this, [this, run = entry->run] { runGuarded(run); });
    to->addAction(action);
    return action;
}

void BrowserWindow::runCommand(const QString &key)
{
    if (const CommandEntry *entry = command(key); entry && entry->run)
        runGuarded(entry->run);
}

void BrowserWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    // Eight Japanese titles have to fit the default 10000-twip window
    // (667 pixels) without the last, ヘルプ, going behind an overflow arrow.
    bar->setStyleSheet(u"QMenuBar { spacing: 0px; } QMenuBar::item { padding: 2px 5px; }"_s);

    QMenu *file = addMenu(bar, u"mnuFile"_s, u"メイン(&M)"_s);
    addCommand(file, u"mnuEdit"_s);
    addSeparator(file, u"mnuFileLine1"_s);
    addCommand(file, u"mnuTaskclose"_s);
    addSeparator(file, u"mnuFileLine2"_s);
    addCommand(file, u"mnuFileQuit"_s);

    QMenu *page = addMenu(bar, u"mnuPage"_s, u"ページ(&P)"_s);
    addCommand(page, u"mnuPageBack"_s);
    addCommand(page, u"mnuPageForword"_s);
    addSeparator(page, u"mnuPageLine1"_s);
    addCommand(page, u"mnuPageStop"_s);
    addSeparator(page, u"mnuPageLine2"_s);
    addCommand(page, u"mnuPageReload"_s);

    QMenu *find = addMenu(bar, u"mnuFind"_s, u"ダイレクトアクセス(&D)"_s);
    QMenu *yahoo = addMenu(find, u"mnuDAYahoo"_s, u"Yahoo!ｵｰｸｼｮﾝ"_s);
    addCommand(yahoo, u"mnuFileOpenYafuoku"_s);
    for (int i = 0; i < 3; ++i)
        addCommand(yahoo, u"mnuFindSite"_s, i);
    QMenu *bidders = addMenu(find, u"mnuDABidders"_s, u"BIDDERS"_s);
    addCommand(bidders, u"mnuFileOpenBidders"_s);
    for (int i = 0; i < 5; ++i)
        addCommand(bidders, u"mnuFindSiteBD"_s, i);

    addCommand(bar, u"mnukensaku"_s);

    QMenu *bookmarks = addMenu(bar, u"mnubookmark"_s, u"お気に入り(&U)"_s);
    addCommand(bookmarks, u"mnuBmplus"_s);
    addCommand(bookmarks, u"mnuBmedit"_s);

    m_timerMenu = addMenu(bar, u"mnutimer"_s, u"タイマー(&T)"_s);
    for (int n = 1; n <= 10; ++n)
        addCommand(m_timerMenu, u"mnutimer"_s + QString::number(n));
    addSeparator(m_timerMenu, u"mnutimerLine1"_s);
    addCommand(m_timerMenu, u"mnuPageItems"_s);
    addCommand(m_timerMenu, u"mnuByAddress"_s);
    // A list may have added items since it loaded (more results, a scroll).
    connect(m_timerMenu, &QMenu::aboutToShow, this, [this] {
        if (m_engine)
            m_engine->collectLinks();
    });

    addCommand(bar, u"mnuTimerlist"_s);

    QMenu *help = addMenu(bar, u"mnuHelp"_s, u"ヘルプ(&H)"_s);
    addCommand(help, u"mnuHelpVersion"_s);
}

void BrowserWindow::buildToolbar()
{
    m_toolbar = new QToolBar(m_client);
    m_toolbar->setObjectName(u"Toolbar1"_s);
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    // Text under the picture keeps the eleven buttons narrow enough for the
    // window's usual width; the picture takes what the 600 twips leave.
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const int height = screenTwips().toPixelsY(BrowserLayout::kToolbarHeight);
    const int icon = qBound(12, height - fontMetrics().height() - 10, 32);
    m_toolbar->setIconSize(QSize(icon, icon));

    QStringList timers;
    for (int n = 1; n <= 10; ++n)
        timers << u"tmr"_s + QString::number(n);
    const QList<std::pair<QString, QStringList>> buttons {
        { u"環境設定"_s, {} },
        { u"戻る"_s, {} },
        { u"進む"_s, {} },
        { u"再読込み"_s, {} },
        { u"中止"_s, {} },
        { u"Yダイレクトアクセス"_s, { u"D_y_home"_s, u"D_y_myac"_s, u"D_y_wacth"_s, u"D_y_syuppin"_s } },
        { u"Bダイレクトアクセス"_s,
            { u"D_b_home"_s, u"D_b_myac"_s, u"D_b_wacth"_s, u"D_b_syuppin"_s, u"D_b_nyulist"_s,
                u"D_b_alert"_s } },
        { u"検索"_s, {} },
        { u"お気に入り"_s, { u"bk_add"_s, u"bk_edit"_s } },
        { u"タイマー"_s, timers },
        { u"タイマー状況一覧"_s, {} },
    };
    for (const auto &[key, entries] : buttons) {
        QAction *action = addCommand(m_toolbar, key);
        if (entries.isEmpty())
            continue;
        auto *menu = new QMenu(m_toolbar);
        menu->setObjectName(key + u"Menu"_s);
        for (const QString &entry : entries)
            addCommand(menu, entry);
        action->setMenu(menu);
        if (auto *button = qobject_cast<QToolButton *>(m_toolbar->widgetForAction(action)))
            button->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

void BrowserWindow::buildFloatingButtons()
{
    auto make = [this](const QString &name, const QString &text, const QString &icon) {
        auto *button = new QToolButton(m_client);
        button->setObjectName(name);
        button->setText(text);
        button->setIcon(browserIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(22, 22));
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    m_back = make(u"bt01"_s, u"戻る"_s, u"back"_s);
    m_forward = make(u"bt02"_s, u"進む"_s, u"forward"_s);
    connect(m_back, &QToolButton::clicked, this, [this] { runCommand(u"戻る"_s); });
    connect(m_forward, &QToolButton::clicked, this, [this] { runCommand(u"進む"_s); });
}

void BrowserWindow::buildStatusBars()
{
    auto make = [this](const QString &name) {
        auto *bar = new QStatusBar(m_client);
        bar->setObjectName(name);
        auto *info = new QLabel(bar);
        info->setObjectName(u"info"_s);
        // Status texts come from pages: never rendered as markup.
        info->setTextFormat(Qt::PlainText);
        info->setIndent(3);
        bar->addWidget(info, 1);
        return bar;
    };
    m_stsBar = make(u"stsBar"_s);
    m_stsBar->setSizeGripEnabled(false);
    m_stsBar2 = make(u"stsBar2"_s);
    m_info2 = m_stsBar2->findChild<QLabel *>(u"info"_s);
}

bool BrowserWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        layoutClient();
    return QMainWindow::eventFilter(watched, event);
}

void BrowserWindow::layoutClient()
{
    const TwipsScale tw = screenTwips();
    const QSize inner = m_client->size();
    const int width = inner.width();
    const int h1 = m_stsBar->sizeHint().height();
    const int h2 = m_stsBar2->sizeHint().height();
    m_stsBar2->setGeometry(0, inner.height() - h2, width, h2);
    m_stsBar->setGeometry(0, inner.height() - h2 - h1, width, h1);
    m_toolbar->setGeometry(0, 0, width, tw.toPixelsY(BrowserLayout::kToolbarHeight));
    m_toolbar->raise();

    const QString tbar1 = m_setup.bars.toolbar;
    m_browser.moveTop(BrowserLayout::browserTop(tbar1));
    const std::optional<QSize> size = BrowserLayout::browserSize(
        tw.fromPixels(inner), m_browser.left(), tw.fromPixelsY(h1), tw.fromPixelsY(h2), tbar1);
    if (size)
        m_browser.setSize(*size);
    if (m_engine)
        m_engine->widget()->setGeometry(tw.toPixels(m_browser));
    if (!size)
        return;
    if (m_setup.bars.buttons != u"1"_s)
        return;
    placeFloatingButtons(m_setup.bars.corner);
}

// The default width fits the menus and the toolbar at the usual font; a
// larger theme font would push ヘルプ(H) and the last buttons off it. A window
// still at that width grows to fit them, as far as its screen allows; a width
// the user chose stays theirs.
void BrowserWindow::fitBarsAtDefaultWidth()
{
    if (qRound(m_openedTwips[2]) != BrowserLayout::kDefaultWidth || width() != m_openedPixels[2])
        return;
    int needed = menuBar()->sizeHint().width();
    if (!m_toolbar->isHidden())
        needed = qMax(needed, m_toolbar->sizeHint().width());
    if (needed <= width())
        return;
    if (const QScreen *s = screen())
        needed = qMin(needed, s->availableGeometry().width() - (frameGeometry().width() - width()));
    if (needed <= width())
        return;
    resize(needed, height());
    // Still the default width to the file: the next start measures anew, with
    // whatever font the theme has then.
    m_openedPixels[2] = width();
}

void BrowserWindow::placeFloatingButtons(const QString &corner)
{
    const TwipsScale tw = screenTwips();
    const QSize size(BrowserLayout::kButtonSize, BrowserLayout::kButtonSize);
    m_back->setGeometry(tw.toPixels(QRect(BrowserLayout::backButtonPos(corner, m_browser), size)));
    m_forward->setGeometry(tw.toPixels(QRect(BrowserLayout::forwardButtonPos(corner, m_browser), size)));
    m_back->raise();
    m_forward->raise();
}

void BrowserWindow::applyBars(const wire::Bars &bars)
{
    m_setup.bars = bars.settings;
    const int toolbar = bars.toolbar;
    const int buttons = bars.buttons;
    if (toolbar >= 0)
        m_toolbar->setVisible(toolbar == 1);
    if (toolbar == 1)
        fitBarsAtDefaultWidth();
    if (buttons >= 0) {
        m_back->setVisible(buttons == 1);
        m_forward->setVisible(buttons == 1);
    }
    layoutClient();
    // Hidden buttons have no corner; shown ones follow tbar2mode even where
    // tbar2 says otherwise, because the dialog has just shown them.
    if (buttons == 1)
        placeFloatingButtons(m_setup.bars.corner);
    else if (buttons == 0)
        placeFloatingButtons(QString());
}

void BrowserWindow::closeEvent(QCloseEvent *event)
{
    // A modal dialog's owner cannot be closed under it.
    if (m_held) {
        event->ignore();
        return;
    }
    storeGeometry();
    // The engine is the heavy part; the program idles in the tray without it.
    if (m_engine) {
        m_engine->widget()->hide();
        m_engine->deleteLater();
        m_engine = nullptr;
    }
    event->accept();
}

void BrowserWindow::showEvent(QShowEvent *event)
{
    // Shown again after a close that did not delete the window: open anew.
    if (!m_engine)
        open();
    QMainWindow::showEvent(event);
}

void BrowserWindow::storeGeometry()
{
    const TwipsScale tw = screenTwips();
    const std::array<int, 4> now { x(), y(), width(), height() };
    const std::array<int, 4> twips { tw.fromPixelsX(now[0]), tw.fromPixelsY(now[1]), tw.fromPixelsX(now[2]),
        tw.fromPixelsY(now[3]) };
    wire::Twips stored;
    for (size_t i = 0; i < stored.size(); ++i)
        stored[i] = keptTwips(m_openedTwips[i], m_openedPixels[i], now[i], twips[i]);
    Q_EMIT geometryStored(stored);
}

void BrowserWindow::navigate(const QString &address)
{
    if (m_engine)
        m_engine->navigate(address);
}

QString BrowserWindow::locationUrl() const
{
    return m_engine ? m_engine->locationUrl() : QString();
}

QString BrowserWindow::locationName() const
{
    return m_engine ? m_engine->locationName() : QString();
}

void BrowserWindow::goBack()
{
    if (m_engine && !m_engine->goBack())
        m_messages.show(kNoEarlierPage, this);
}

void BrowserWindow::goForward()
{
    if (m_engine && !m_engine->goForward())
        m_messages.show(kNoLaterPage, this);
}

void BrowserWindow::reloadPage()
{
    if (m_engine)
        m_engine->reload();
}

void BrowserWindow::stopPage()
{
    if (m_engine)
        m_engine->stop();
}

void BrowserWindow::openYahooHome()
{
    navigate(DirectAccess::yahooHome());
}

void BrowserWindow::openBiddersHome()
{
    navigate(DirectAccess::biddersHome());
}

void BrowserWindow::findSite(int index)
{
    const QString url = DirectAccess::yahooSite(index);
    if (!url.isEmpty())
        navigate(url);
}

void BrowserWindow::findSiteBD(int index)
{
    const QString url = DirectAccess::biddersSite(index);
    if (!url.isEmpty())
        navigate(url);
}

void BrowserWindow::openSearchPage()
{
    // The program forgets the page's times and sends the window its search
    // page.
    choose(wire::Command::Search);
}

void BrowserWindow::registerTimer(int n)
{
    choose(wire::Command::Timer, n);
}

void BrowserWindow::toolbarButtonClicked(const QString &key)
{
    for (QAction *action : m_toolbar->actions()) {
        if (action->objectName() == key)
            runCommand(key);
    }
}

void BrowserWindow::choose(wire::Command command, int slot)
{
    Q_EMIT commandChosen(command, slot);
}

void BrowserWindow::setCountdownLine(const QString &text)
{
    m_stsBar->showMessage(text);
}

void BrowserWindow::setHeld(bool held)
{
    m_held = held;
    setEnabled(!held);
}

void BrowserWindow::setTimerMenuEnabled(bool enabled)
{
    for (QAction *action : m_timerMenu->actions()) {
        if (action->objectName().startsWith(u"mnutimer"_s) && !action->isSeparator())
            action->setEnabled(enabled);
    }
}

void BrowserWindow::setPageItemsEnabled(bool enabled)
{
    if (QAction *action = m_timerMenu->findChild<QAction *>(u"mnuPageItems"_s))
        action->setEnabled(enabled);
}

// A command that fails says so and ends there; the program goes on in the
// tray with its countdowns, whatever the message says.
void BrowserWindow::runGuarded(const std::function<void()> &command)
{
    try {
        command();
    } catch (...) {
        m_messages.show(kCommandFailed, this);
    }
}
