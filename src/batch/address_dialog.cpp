#include "address_dialog.h"

#include "item_data_recognizer.h"
#include "item_links.h"
#include "item_reads.h"
#include "log.h"
#include "message_box.h"
#include "services.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

AddressDialog::AddressDialog(Services &services, std::unique_ptr<PageFetcher> fetcher, QWidget *owner)
    : ModalWindow(u"frmByAddress"_s, u"URL・オークションIDで登録"_s, owner)
    , m_services(services)
    , m_fetcher(std::move(fetcher))
    , m_registration(services)
    , m_address(new QLineEdit(this))
    , m_state(new QLabel(this))
    , m_register(new QPushButton(u"登録"_s, this))
    , m_cancel(new QPushButton(u"キャンセル"_s, this))
{
    auto *prompt
        = new QLabel(u"商品ページのURL、またはオークションID（例: x123456789）を入力してください。"_s, this);
    prompt->setObjectName(u"lblPrompt"_s);
    prompt->setWordWrap(true);
    m_address->setObjectName(u"txtAddress"_s);
    m_address->setAccessibleName(u"商品ページのURL、またはオークションID"_s);
    m_address->setPlaceholderText(u"https://auctions.yahoo.co.jp/jp/auction/… または x123456789"_s);
    m_address->setMinimumWidth(520);
    m_state->setObjectName(u"lblState"_s);
    m_state->setTextFormat(Qt::PlainText);
    m_register->setObjectName(u"cmdRegister"_s);
    m_register->setDefault(true);
    m_register->setEnabled(false);
    m_cancel->setObjectName(u"cmdCancel"_s);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_state, 1);
    buttons->addWidget(m_register);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_address);
    layout->addLayout(buttons);
    // Of its own size, which tiling desktops float rather than stretch.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_address, &QLineEdit::textChanged, this,
        [this](const QString &text) { m_register->setEnabled(!text.trimmed().isEmpty() && !m_pending); });
    connect(m_register, &QPushButton::clicked, this, &AddressDialog::start);
    connect(m_cancel, &QPushButton::clicked, this, &AddressDialog::cancelOrClose);
}

AddressDialog::~AddressDialog()
{
    if (m_pending)
        m_fetcher->cancel(m_pending);
}

void AddressDialog::start()
{
    // What the timer menu would say first, before anything is fetched.
    if (!m_registration.soundChosen(this))
        return;
    if (m_registration.freeSlots().isEmpty()) {
        m_services.messages.show(Registration::kNoFreeSlot, this);
        return;
    }
    const QUrl url = typedAuctionAddress(m_address->text());
    if (!url.isValid()) {
        refuse(u"商品ページのURLか、英数字のオークションIDを入力してください。"_s);
        return;
    }
    qCInfo(lcBrowser) << "reading" << url.toDisplayString() << "to register it by its address";
    setReading(true);
    m_pending = m_fetcher->fetch(url, [this, url](const FetchResult &result) {
        m_pending = 0;
        fetched(url, result);
    });
}

void AddressDialog::fetched(const QUrl &url, const FetchResult &result)
{
    ItemReads::read(m_reader, m_services.clock, { yahooAuctionId(url), url }, result,
        [this, came = result.ok, asked = m_asked](const ItemRead &read) {
            if (asked == m_asked)
                judged(read, came);
        });
}

void AddressDialog::judged(const ItemRead &read, bool came)
{
    setReading(false);
    switch (read.state) {
    case ItemRead::State::Open: {
        if (!read.id.isEmpty() && armedAuctionIds(m_services.timers).contains(read.id)) {
            refuse(u"このオークションはすでにタイマーに登録されています。"_s);
            return;
        }
        const QPointer<AddressDialog> alive(this);
        const bool started = m_registration.registerItem(read.item, this);
        if (alive && started)
            close();
        return;
    }
    case ItemRead::State::Closed:
        refuse(u"このオークションは終了しています。"_s);
        return;
    case ItemRead::State::Unreadable:
        if (came)
            refuse(Registration::kNotUsable);
        else
            refuse(u"ページを読み込めませんでした（"_s + read.why
                + u"）。しばらくしてから、もう一度お試しください。"_s);
        return;
    case ItemRead::State::Waiting:
    case ItemRead::State::Cancelled:
        return;
    }
}

void AddressDialog::refuse(const QString &text)
{
    const QPointer<AddressDialog> alive(this);
    m_services.messages.show(text, this);
    // Left as typed, and chosen, so that it can be put right or typed anew.
    if (alive) {
        m_address->setFocus();
        m_address->selectAll();
    }
}

void AddressDialog::setReading(bool reading)
{
    m_reading = reading;
    m_state->setText(reading ? u"ページを読み込んでいます…"_s : QString());
    m_address->setReadOnly(reading);
    m_register->setEnabled(!reading && !m_address->text().trimmed().isEmpty());
}

void AddressDialog::cancelOrClose()
{
    if (m_reading) {
        if (m_pending)
            m_fetcher->cancel(std::exchange(m_pending, 0));
        ++m_asked;
        setReading(false);
        qCInfo(lcBrowser) << "reading for a registration by address cancelled";
        return;
    }
    close();
}
