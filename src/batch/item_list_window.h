#pragma once

#include "browser_host.h"
#include "item_reads.h"
#include "modal_window.h"
#include "page_fetcher.h"
#include "registration.h"

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
struct Services;

// frmItemList, "このページの商品から登録": the auctions of the page in the
// browser window, soonest end first, as the page's own source lists them or,
// where it lists none, as it links to them; an item page is read only for an
// auction the list does not describe. The checked ones go into free timer
// slots at once.
class ItemListWindow : public ModalWindow
{
    Q_OBJECT
public:
    ItemListWindow(Services &services, std::unique_ptr<PageFetcher> fetcher, QWidget *owner);
    ~ItemListWindow() override;

    // Lists the auctions of `page` and starts reading those that need it.
    void listPage(const PageLinks &page);

private:
    void listRead(const QUrl &url, const ListPageReading &list);
    void fill(const QList<ItemRead> &items, bool fromList);
    void showRead(int index);
    void readsFinished();
    void checkSoonest();
    void keepColumnsWhole();
    void updateCounts();
    void registerChecked();
    void cancelOrClose();

    Services &m_services;
    std::unique_ptr<PageFetcher> m_fetcher;
    ItemReads m_reads;
    Registration m_registration;
    QList<QTreeWidgetItem *> m_rows; // by read index
    PageLinks m_page;
    PageFetcher::Id m_pageFetch = 0; // the list page's own source, while it comes
    quint64 m_listed = 0; // bumped for each page listed: an older list's reading is dropped
    int m_known = 0; // rows the list described, needing no read
    bool m_touched = false; // the user has checked or unchecked something
    bool m_filling = false;

    QLabel *m_heading;
    QProgressBar *m_progress;
    QTreeWidget *m_list;
    QLabel *m_counts;
    QPushButton *m_register;
    QPushButton *m_cancel;
};
