#include "app_icon.h"

#include "readable_colour.h"

#include <QFont>
#include <QFontMetrics>
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

QPixmap larkvaneLogo(const QColor &background, qreal devicePixelRatio)
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
    name.setPixelSize(19);
    name.setBold(true);
    p.setFont(name);
    p.setPen(ReadableColour::on(background, QColor(0x1c, 0x5a, 0x9c)));
    const QRect nameRect(32, 0, 110, size.height());
    QRect used;
    p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, u"Larkvane"_s, &used);

    // The tagline takes what room the name leaves, in the largest size that fits.
    const QString taglineText = u"オークション終了タイマー"_s;
    const QRect taglineRect(used.right() + 8, 0, size.width() - used.right() - 10, size.height() - 5);
    QFont tagline(u"Noto Sans CJK JP"_s);
    for (int px = 11; px >= 7; --px) {
        tagline.setPixelSize(px);
        if (QFontMetrics(tagline).horizontalAdvance(taglineText) <= taglineRect.width())
            break;
    }
    p.setFont(tagline);
    p.setPen(ReadableColour::on(background, QColor(0x44, 0x44, 0x44)));
    p.drawText(taglineRect, Qt::AlignLeft | Qt::AlignBottom, taglineText);
    return logo;
}
