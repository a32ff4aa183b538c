#pragma once

#include "browser_host.h"
#include "item_reads.h"
#include "modal_window.h"
#include "registration.h"

#include <memory>

class PageFetcher;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
struct Services;

// frmItemList, "このページの商品から登録": the auctions the page in the browser
// window links to, each read from its own page, soonest end first; the
// checked ones go into free timer slots at once.
class ItemListWindow : public ModalWindow
{
    Q_OBJECT
public:
    ItemListWindow(Services &services, std::unique_ptr<PageFetcher> fetcher, QWidget *owner);
    ~ItemListWindow() override;

    // Lists the auctions of `page` and starts reading them.
    void listPage(const PageLinks &page);

private:
    void showRead(int index);
    void readsFinished();
    void checkSoonest();
    void updateCounts();
    void registerChecked();
    void cancelOrClose();

    Services &m_services;
    std::unique_ptr<PageFetcher> m_fetcher;
    ItemReads m_reads;
    Registration m_registration;
    QList<QTreeWidgetItem *> m_rows; // by read index
    bool m_touched = false; // the user has checked or unchecked something
    bool m_filling = false;

    QLabel *m_heading;
    QProgressBar *m_progress;
    QTreeWidget *m_list;
    QLabel *m_counts;
    QPushButton *m_register;
    QPushButton *m_cancel;
};
