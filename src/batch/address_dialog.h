#pragma once

#include "background_page_reader.h"
#include "modal_window.h"
#include "page_fetcher.h"
#include "registration.h"

#include <QUrl>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
struct ItemRead;
struct Services;

// frmByAddress, "URL・オークションIDで登録": an item page's address or a bare
// auction id, read as a registration reads the page shown, into the first
// free timer slot, without opening the page.
class AddressDialog : public ModalWindow
{
    Q_OBJECT
public:
    AddressDialog(Services &services, std::unique_ptr<PageFetcher> fetcher, QWidget *owner);
    ~AddressDialog() override;

private:
    void start();
    void fetched(const QUrl &url, const FetchResult &result);
    // `came`: the page was fetched, whatever it said.
    void judged(const ItemRead &read, bool came);
    void cancelOrClose();
    void setReading(bool reading);
    void refuse(const QString &text);

    Services &m_services;
    std::unique_ptr<PageFetcher> m_fetcher;
    Registration m_registration;
    PageFetcher::Id m_pending = 0;
    // Bumped when a reading is given up: its answer, on its way, is dropped.
    quint64 m_asked = 0;
    bool m_reading = false;

    QLineEdit *m_address;
    QLabel *m_state;
    QPushButton *m_register;
    QPushButton *m_cancel;
    // Last: gone first, with any reading still on its way.
    BackgroundPageReader m_reader;
};
