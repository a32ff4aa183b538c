#include "app_icon.h"

#include <QFont>
#include <QPainter>

using namespace Qt::StringLiterals;

// Outside any namespace, as Q_INIT_RESOURCE requires.
static void initResources()
{
    Q_INIT_RESOURCE(larkvane);
}

QIcon larkvaneIcon()
{
    static const bool initialised = (initResources(), true);
    Q_UNUSED(initialised);
    return QIcon(u":/larkvane/larkvane.svg"_s);
}

QPixmap larkvaneLogo(qreal devicePixelRatio)
{
    const QSize size(235, 28);
    QPixmap logo(size * devicePixelRatio);
    logo.setDevicePixelRatio(devicePixelRatio);
    logo.fill(Qt::transparent);

    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    larkvaneIcon().paint(&p, QRect(2, 2, 24, 24));

    QFont name(u"Noto Sans"_s);
    name.setPixelSize(20);
    name.setBold(true);
    p.setFont(name);
    p.setPen(QColor(0x1c, 0x5a, 0x9c));
    const QRect nameRect(32, 0, 110, size.height());
    QRect used;
    p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, u"Larkvane"_s, &used);

    QFont tagline(u"Noto Sans CJK JP"_s);
    tagline.setPixelSize(10);
    p.setFont(tagline);
    p.setPen(QColor(0x44, 0x44, 0x44));
    p.drawText(QRect(used.right() + 8, 0, size.width() - used.right() - 8, size.height() - 4),
        Qt::AlignLeft | Qt::AlignBottom, u"オークション終了タイマー"_s);
    return logo;
}
