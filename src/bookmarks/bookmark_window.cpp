#include "bookmark_window.h"

#include "bookmark_list.h"
#include "browser_host.h"
#include "message_box.h"
#include "persistence.h"
#include "services.h"
#include "window_registry.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

BookmarkWindow::BookmarkWindow(Services &services, QWidget *owner)
    : ModalWindow(u"frmbookmark"_s, u"お気に入り　（注目している出品物）"_s, owner)
    , m_services(services)
{

    auto *layout = new QVBoxLayout(this);
    m_titles = new QListWidget(this);
    m_titles->setObjectName(u"List1"_s);
    m_titles->setAccessibleName(u"お気に入り"_s);
    m_titles->setSelectionMode(QAbstractItemView::SingleSelection);
    m_titles->setMinimumSize(fontMetrics().horizontalAdvance(u'０') * 36, fontMetrics().height() * 14);
    layout->addWidget(m_titles, 1);

    m_urls = new QListWidget(this);
    m_urls->setObjectName(u"List2"_s);
    m_urls->hide();

    auto *row = new QHBoxLayout;
    const struct
    {
        const char16_t *name;
        const char16_t *text;
        void (BookmarkWindow::*handler)();
    } buttons[] = {
        { u"btn1", u"表　示", &BookmarkWindow::showSelected },
        { u"btn2", u"削　除", &BookmarkWindow::deleteSelected },
        { u"btn3", u"閉じる", &BookmarkWindow::saveAndClose },
    };
    for (const auto &b : buttons) {
        auto *button = new QPushButton(QString::fromUtf16(b.text), this);
        button->setObjectName(QString::fromUtf16(b.name));
        button->setAutoDefault(false);
        button->setMinimumWidth(fontMetrics().horizontalAdvance(u'０') * 7);
        connect(button, &QPushButton::clicked, this, b.handler);
        row->addWidget(button);
    }
    // Return on a chosen row shows it.
    findChild<QPushButton *>(u"btn1"_s)->setDefault(true);
    layout->addLayout(row);
    // Of its own size, which tiling desktops float rather than stretch; the
    // list scrolls.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_titles, &QListWidget::itemDoubleClicked, this, [this] {
        const int r = selectedRow();
        if (r >= 0 && r < m_urls->count() && !m_urls->item(r)->text().isEmpty())
            openRow(r);
    });

    for (const Bookmark &b : BookmarkList::load(m_services.persistence, BookmarkList::kWindowBuffer)) {
        m_titles->addItem(b.title);
        m_urls->addItem(b.url);
    }
}

int BookmarkWindow::selectedRow() const
{
    const QList<QListWidgetItem *> selected = m_titles->selectedItems();
    return selected.isEmpty() ? -1 : m_titles->row(selected.first());
}

bool BookmarkWindow::saveLists()
{
    QList<Bookmark> list;
    for (int i = 0; i < m_titles->count(); ++i)
        list.append({ m_titles->item(i)->text(), i < m_urls->count() ? m_urls->item(i)->text() : QString() });
    return BookmarkList::save(m_services.persistence, list);
}

void BookmarkWindow::showSelected()
{
    const int r = selectedRow();
    if (r < 0) {
        m_services.messages.show(u"表示したい項目を一つ選択して下さい。"_s, this);
        return;
    }
    openRow(r);
}

void BookmarkWindow::openRow(int row)
{
    const QString url = row < m_urls->count() ? m_urls->item(row)->text() : QString();
    const bool saved = saveLists();
    // Nothing of this window may be touched once it is closed.
    Services &services = m_services;
    close();
    const bool loadable = !url.isEmpty() && QUrl(url).isValid();
    if (loadable)
        services.browser.navigate(url);
    if (!saved || !loadable)
        services.messages.show(u"動作エラーです。"_s, services.browser.window());
}

void BookmarkWindow::deleteSelected()
{
    const int r = selectedRow();
    if (r < 0) {
        m_services.messages.show(u"削除したい項目を一つ選択して下さい。"_s, this);
        return;
    }
    delete m_titles->takeItem(r);
    if (r < m_urls->count())
        delete m_urls->takeItem(r);
    // Like a fresh list: the next delete needs a new choice, so a second
    // press cannot remove the neighbour by accident.
    m_titles->clearSelection();
    m_titles->setCurrentRow(-1);
}

void BookmarkWindow::saveAndClose()
{
    saveLists();
    close();
}

void registerBookmarkWindows(WindowRegistry &registry, Services &services)
{
    registerModalWindow(registry, services.browser, u"frmbookmark"_s,
        [&services](QWidget *owner) { return new BookmarkWindow(services, owner); });
}
