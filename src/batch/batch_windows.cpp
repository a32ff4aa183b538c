#include "batch_windows.h"

#include "address_dialog.h"
#include "browser_host.h"
#include "item_list_window.h"
#include "page_fetcher.h"
#include "services.h"
#include "window_registry.h"

using namespace Qt::StringLiterals;

void registerBatchWindows(WindowRegistry &registry, Services &services, FetcherFactory makeFetcher)
{
    registerModalWindow(
        registry, services.browser, u"frmItemList"_s, [&services, makeFetcher](QWidget *owner) {
            auto *w = new ItemListWindow(services, makeFetcher(), owner);
            // A page still loading has reported no links yet; its own source
            // may list its auctions all the same.
            PageLinks page = services.browser.pageLinks();
            if (page.url.isEmpty())
                page.url = services.browser.locationUrl();
            w->listPage(page);
            return w;
        });
    registerModalWindow(
        registry, services.browser, u"frmByAddress"_s, [&services, makeFetcher](QWidget *owner) {
            return new AddressDialog(services, makeFetcher(), owner);
        });
}
