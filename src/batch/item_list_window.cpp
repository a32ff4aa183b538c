#include "item_list_window.h"

#include "auction_timers.h"
#include "display_text.h"
#include "item_data_recognizer.h"
#include "item_links.h"
#include "list_page.h"
#include "log.h"
#include "page_fetcher.h"
#include "page_recognizer.h"
#include "service_time.h"
#include "services.h"
#include "time_text.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

enum Column { Title, End, State };

// Rows stand soonest end first; rows without an end keep the page's order
// below them.
class Row final : public QTreeWidgetItem
{
public:
    Row(int index)
        : m_index(index)
    {
    }
    void setEnd(const QDateTime &end) { m_end = end; }
    int index() const { return m_index; }

    bool operator<(const QTreeWidgetItem &other) const override
    {
        const auto &o = static_cast<const Row &>(other);
        if (m_end.isValid() != o.m_end.isValid())
            return m_end.isValid();
        if (m_end.isValid() && m_end != o.m_end)
            return m_end < o.m_end;
        return m_index < o.m_index;
    }

private:
    int m_index;
    QDateTime m_end;
};

} // namespace

ItemListWindow::ItemListWindow(Services &services, std::unique_ptr<PageFetcher> fetcher, QWidget *owner)
    : ModalWindow(u"frmItemList"_s, u"このページの商品から登録"_s, owner)
    , m_services(services)
    , m_fetcher(std::move(fetcher))
    , m_reads(services.clock, *m_fetcher)
    , m_registration(services)
    , m_heading(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_list(new QTreeWidget(this))
    , m_counts(new QLabel(this))
    , m_register(new QPushButton(u"登録"_s, this))
    , m_cancel(new QPushButton(u"キャンセル"_s, this))
{
    m_heading->setObjectName(u"lblHeading"_s);
    m_heading->setTextFormat(Qt::PlainText);
    m_heading->setWordWrap(true);
    m_progress->setObjectName(u"prgRead"_s);
    m_progress->setFormat(u"%v / %m 件を読み込みました"_s);
    m_list->setObjectName(u"lstItems"_s);
    m_list->setAccessibleName(u"このページのオークション"_s);
    m_list->setHeaderLabels({ u"タイトル"_s, u"終了日時"_s, u"状態"_s });
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(Title, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(End, QHeaderView::ResizeToContents);
    m_list->header()->setSectionResizeMode(State, QHeaderView::ResizeToContents);
    m_counts->setObjectName(u"lblCounts"_s);
    m_register->setObjectName(u"cmdRegister"_s);
    m_register->setDefault(true);
    m_cancel->setObjectName(u"cmdCancel"_s);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_counts, 1);
    buttons->addWidget(m_register);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_progress);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(720, 480);

    connect(&m_reads, &ItemReads::itemRead, this, &ItemListWindow::showRead);
    connect(&m_reads, &ItemReads::finished, this, &ItemListWindow::readsFinished);
    connect(m_list->header(), &QHeaderView::sectionResized, this, &ItemListWindow::keepColumnsWhole);
    connect(m_list, &QTreeWidget::itemChanged, this, [this] {
        if (!m_filling)
            m_touched = true;
        updateCounts();
    });
    connect(&services.timers, &AuctionTimers::changed, this, &ItemListWindow::updateCounts);
    connect(m_register, &QPushButton::clicked, this, &ItemListWindow::registerChecked);
    connect(m_cancel, &QPushButton::clicked, this, &ItemListWindow::cancelOrClose);
}

ItemListWindow::~ItemListWindow()
{
    if (m_pageFetch)
        m_fetcher->cancel(m_pageFetch);
}

void ItemListWindow::listPage(const PageLinks &page)
{
    m_list->clear();
    m_rows.clear();
    m_touched = false;
    m_page = page;
    ++m_listed;
    if (m_pageFetch)
        m_fetcher->cancel(std::exchange(m_pageFetch, 0));
    // Only the service's own pages are asked for, and trusted, as a list; an
    // item page is none.
    const QUrl url(page.url);
    if (!isYahooAuctionHost(url) || !yahooAuctionId(url).isEmpty()) {
        fill(ItemReads::unread(linkedAuctions(page.links)), false);
        return;
    }
    m_heading->setText(u"ページを読み込んでいます…"_s);
    m_list->hide();
    m_progress->setRange(0, 0);
    m_progress->show();
    updateCounts();
    m_pageFetch = m_fetcher->fetch(url, [this, url, listed = m_listed](const FetchResult &result) {
        m_pageFetch = 0;
        const QUrl served = result.finalUrl.isEmpty() ? url : result.finalUrl;
        if (!result.ok || !isYahooAuctionHost(served)) {
            listRead(url, {});
            return;
        }
        learnServiceTime(m_services.clock, url, result, PageReading());
        m_reads.reader().run([body = result.body, url] { return readListPage(body, url); },
            [this, url, listed](const ListPageReading &list, qint64) {
                if (listed == m_listed)
                    listRead(url, list);
            });
    });
}

void ItemListWindow::listRead(const QUrl &url, const ListPageReading &list)
{
    qCInfo(lcBrowser).noquote() << "list page" << url.toDisplayString() << "gave"
                                << (list.isList ? QString::number(list.auctions.size()) + u" auctions"_s
                                                : u"no list: its links are listed"_s);
    if (list.isList)
        fill(ItemReads::listed(list, m_services.clock), true);
    else
        fill(ItemReads::unread(linkedAuctions(m_page.links)), false);
}

void ItemListWindow::fill(const QList<ItemRead> &items, bool fromList)
{
    if (items.isEmpty()) {
        const bool wall = isWatchListLoginWall(QUrl(m_page.url), m_page.passwordField);
        m_heading->setText(wall ? u"ウォッチリストを見るには、ブラウザでログインしてください。"_s
                : fromList ? u"このページにはオークションがありません。"_s
                           : u"このページには商品ページへのリンクがありません。"_s);
        m_list->hide();
        m_progress->hide();
        m_reads.start({});
        return;
    }
    QString heading
        = (fromList ? u"このページのオークション: "_s : u"このページからリンクされているオークション: "_s)
        + QString::number(items.size()) + u" 件"_s;
    if (items.size() > ItemReads::kMaxItems)
        heading += u"（先頭の "_s + QString::number(ItemReads::kMaxItems) + u" 件を表示します）"_s;
    m_heading->setText(heading);
    m_list->show();

    m_filling = true;
    const qsizetype count = std::min<qsizetype>(items.size(), ItemReads::kMaxItems);
    m_known = 0;
    for (qsizetype i = 0; i < count; ++i) {
        auto *row = new Row(int(i));
        row->setText(Title, displayText(items[i].item.name, items[i].item.url));
        row->setToolTip(Title, items[i].item.url);
        row->setText(State, u"読み込み中…"_s);
        row->setFlags(Qt::ItemNeverHasChildren);
        m_list->addTopLevelItem(row);
        m_rows.append(row);
        if (items[i].state != ItemRead::State::Waiting)
            ++m_known;
    }
    m_filling = false;
    m_progress->setRange(0, int(count) - m_known);
    m_progress->setValue(0);
    m_progress->setVisible(m_known < count);
    m_reads.start(items);
    updateCounts();
}

void ItemListWindow::showRead(int index)
{
    const ItemRead &read = m_reads.items().at(index);
    auto *row = static_cast<Row *>(m_rows.value(index));
    if (!row)
        return;
    m_filling = true;
    row->setText(Title, displayText(read.item.name, read.item.url));
    row->setToolTip(Title, read.item.url);
    row->setText(End, read.item.endAt.isValid() ? timeText(read.item.endAt) : QString());
    row->setEnd(read.item.endAt);
    const bool armed = armedAuctionIds(m_services.timers).contains(read.id);
    if (read.state == ItemRead::State::Open && !armed) {
        row->setText(State, QString());
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren);
        row->setCheckState(Title, Qt::Unchecked);
    } else {
        row->setText(State, armed && read.state == ItemRead::State::Open ? u"タイマー登録済み"_s : read.why);
        // Greyed, and with no box to check.
        row->setFlags(Qt::ItemNeverHasChildren);
        row->setData(Title, Qt::CheckStateRole, QVariant());
    }
    m_filling = false;
    m_list->sortItems(Title, Qt::AscendingOrder);
    m_progress->setValue(m_reads.doneCount() - m_known);
    updateCounts();
}

void ItemListWindow::readsFinished()
{
    m_filling = true;
    for (qsizetype i = 0; i < m_reads.items().size(); ++i) {
        if (m_reads.items()[i].state == ItemRead::State::Cancelled && m_rows.value(i))
            m_rows[i]->setText(State, m_reads.items()[i].why);
    }
    m_filling = false;
    m_progress->hide();
    m_cancel->setText(u"閉じる"_s);
    if (!m_touched)
        checkSoonest();
    updateCounts();
}

// Until the user says otherwise, the soonest ends that fit the free slots.
void ItemListWindow::checkSoonest()
{
    qsizetype free = m_registration.freeSlots().size();
    m_filling = true;
    for (int i = 0; i < m_list->topLevelItemCount() && free > 0; ++i) {
        QTreeWidgetItem *row = m_list->topLevelItem(i);
        if (row->flags() & Qt::ItemIsUserCheckable) {
            row->setCheckState(Title, Qt::Checked);
            --free;
        }
    }
    m_filling = false;
}

// The end and the state are never cut: as their columns take the width of
// what they show, the list is kept wide enough for them beside the first
// characters of a title, which alone is elided.
void ItemListWindow::keepColumnsWhole()
{
    const QHeaderView *header = m_list->header();
    m_list->setMinimumWidth(header->sectionSize(End) + header->sectionSize(State)
        + m_list->fontMetrics().horizontalAdvance(u"タイトル"_s) * 3
        + m_list->verticalScrollBar()->sizeHint().width() + 2 * m_list->frameWidth());
}

void ItemListWindow::updateCounts()
{
    int checked = 0;
    for (QTreeWidgetItem *row : std::as_const(m_rows)) {
        if ((row->flags() & Qt::ItemIsUserCheckable) && row->checkState(Title) == Qt::Checked)
            ++checked;
    }
    const qsizetype free = m_registration.freeSlots().size();
    m_counts->setText(
        u"選択 "_s + QString::number(checked) + u" 件 ／ 空きタイマー "_s + QString::number(free) + u" 個"_s);
    m_register->setEnabled(checked > 0);
}

void ItemListWindow::registerChecked()
{
    m_reads.cancel();
    QList<Registrable> items;
    const QSet<QString> armed = armedAuctionIds(m_services.timers);
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const ItemRead &read = m_reads.items().at(i);
        QTreeWidgetItem *row = m_rows[i];
        if ((row->flags() & Qt::ItemIsUserCheckable) && row->checkState(Title) == Qt::Checked
            && read.state == ItemRead::State::Open && !armed.contains(read.id))
            items.append(read.item);
    }
    if (items.isEmpty())
        return;
    const QPointer<ItemListWindow> alive(this);
    m_registration.registerItems(items, this);
    if (alive)
        close();
}

void ItemListWindow::cancelOrClose()
{
    if (m_reads.isRunning())
        m_reads.cancel();
    else
        close();
}
