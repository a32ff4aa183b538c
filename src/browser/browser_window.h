#pragma once

#include "protocol.h"

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QString>

#include <array>
#include <functional>
#include <memory>

#include "browser_engine.h"
class MessageBox;
class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;
class QToolButton;

// frmWeb, the program's main window: the embedded browser with its menus,
// toolbar, floating back/forward buttons and two status bars. It is a view:
// it goes back, forward and to the direct-access pages by itself, and hands
// every command that is the program's (a timer, a bookmark, a dialog) out as
// commandChosen(). Closing it ends nothing but the window; it is built anew,
// at the start page, each time it opens.
class BrowserWindow : public QMainWindow
{
    Q_OBJECT
public:
    using EngineFactory = std::function<BrowserEngine *(QWidget *parent)>;

    // `messages` shows the window's own boxes (no earlier page, ...).
    BrowserWindow(const wire::Setup &setup, MessageBox &messages, EngineFactory engineFactory,
        QWidget *parent = nullptr);
    ~BrowserWindow() override;

    // Null while the window is closed.
    BrowserEngine *engine() const { return m_engine.data(); }

    void navigate(const QString &address);
    QString locationUrl() const;
    QString locationName() const;

    // The settings dialog's changes: toolbar and floating buttons 1 show,
    // 0 hide, -1 leave; then the browser area and the buttons are laid out
    // again from tbar1 and tbar2mode.
    void applyBars(const wire::Bars &bars);

    void setCountdownLine(const QString &text);
    // The ten timer entries; the menu itself stays open for the entries
    // that register from a list or an address.
    void setTimerMenuEnabled(bool enabled);
    // "このページの商品から登録…": the page links to auctions.
    void setPageItemsEnabled(bool enabled);

    // While a dialog of the program holds the window, it takes no input and
    // its close box does nothing, as a modal dialog's owner would.
    void setHeld(bool held);
    bool isHeld() const { return m_held; }

    // The commands behind the menus, the toolbar and the floating buttons.
    void goBack();
    void goForward();
    void reloadPage();
    void stopPage();
    void openYahooHome();
    void openBiddersHome();
    void findSite(int index); // Yahoo! pages, 0 to 2
    void findSiteBD(int index); // Bidders pages, 0 to 4
    void openSearchPage();
    void registerTimer(int n);
    // As a click on the toolbar button `key`.
    void toolbarButtonClicked(const QString &key);

    // The browser's place in the client area, in twips, as last laid out.
    QRect browserTwips() const { return m_browser; }

Q_SIGNALS:
    void commandChosen(wire::Command command, int slot);
    // The geometry to keep, in twips, as the window closes.
    void geometryStored(const wire::Twips &twips);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // One command: the key its menu entry, toolbar button or drop-down entry
    // is named by, what it shows, and what it does (nothing: it only opens
    // its drop-down). Menu entries of one key are told apart by `index`.
    struct CommandEntry
    {
        QString key;
        QString caption;
        QString icon;
        std::function<void()> run;
        int index = -1;
    };
    QList<CommandEntry> commandTable();
    const CommandEntry *command(const QString &key, int index = -1) const;
    QAction *addCommand(QWidget *to, const QString &key, int index = -1);
    void runCommand(const QString &key);

    void open();
    void createEngine();
    void buildMenus();
    void buildToolbar();
    void buildFloatingButtons();
    void buildStatusBars();
    void layoutClient();
    void fitBarsAtDefaultWidth();
    void placeFloatingButtons(const QString &corner);
    void storeGeometry();
    void choose(wire::Command command, int slot = 0);
    void runGuarded(const std::function<void()> &command);

    wire::Setup m_setup;
    MessageBox &m_messages;
    EngineFactory m_engineFactory;
    QList<CommandEntry> m_commands;
    bool m_held = false;

    QWidget *m_client = nullptr;
    QPointer<BrowserEngine> m_engine;
    QMenu *m_timerMenu = nullptr;
    QToolBar *m_toolbar = nullptr;
    QToolButton *m_back = nullptr;
    QToolButton *m_forward = nullptr;
    QStatusBar *m_stsBar = nullptr;
    QStatusBar *m_stsBar2 = nullptr;
    QLabel *m_info2 = nullptr;
    QRect m_browser; // twips
    // The geometry this opening started from, in twips as stored and in pixels.
    std::array<double, 4> m_openedTwips {};
    std::array<int, 4> m_openedPixels { -1, -1, -1, -1 };
};
