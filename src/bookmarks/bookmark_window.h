#pragma once

#include "modal_window.h"

class QListWidget;
class WindowRegistry;
struct Services;

// frmbookmark: the saved pages, to show one or delete some. The lists are a
// working copy; only "表　示", "閉じる" and a double-click write them back.
class BookmarkWindow : public ModalWindow
{
    Q_OBJECT
public:
    BookmarkWindow(Services &services, QWidget *owner);

private:
    int selectedRow() const;
    bool saveLists();
    void showSelected();
    void openRow(int row);
    void deleteSelected();
    void saveAndClose();

    Services &m_services;
    QListWidget *m_titles = nullptr; // List1
    QListWidget *m_urls = nullptr; // List2, never shown
};

void registerBookmarkWindows(WindowRegistry &registry, Services &services);
