#pragma once

#include "box_guard.h"

#include <QWidget>

#include <array>

struct Services;
class QLabel;
class QLineEdit;
class QPushButton;

// frmAlarm: all ten slots at a glance, with their service's mark, title,
// listing and end time, price and bids as last read, and notice lead, a cancel and a show button per slot,
// and a clock. It is a snapshot: fill() reads the store, and afterwards only
// the window's own buttons change it.
class StatusListWindow : public QWidget
{
    Q_OBJECT
public:
    explicit StatusListWindow(Services &services);

    // Shows the window (it stays open if it already is) and fills it from the
    // store. Ended items turn grey; nothing here turns a grey row white.
    void fill();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct Row
    {
        QLabel *yahooMark = nullptr;
        QLabel *biddersMark = nullptr;
        QLineEdit *title = nullptr;
        QLineEdit *listed = nullptr;
        QLineEdit *ends = nullptr;
        QLineEdit *price = nullptr;
        QLineEdit *bids = nullptr;
        QLineEdit *lead = nullptr;
        QPushButton *cancel = nullptr;
        QPushButton *view = nullptr;
    };

    void cancel(int n);
    void view(int n);
    void showTime();
    void setRowBackground(const Row &row, const QColor &colour);

    Services &m_services;
    BoxGuard m_boxes { *this };
    std::array<Row, 10> m_rows {};
    QLineEdit *m_now = nullptr;
};

// The clock text of the list, in Japan time as the end times beside it:
// yy/mm/dd hh:mm:ss, the program's own form, whatever the locale.
QString statusListClockText(const QDateTime &now);
