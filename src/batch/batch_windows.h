#pragma once

#include <functional>
#include <memory>

class PageFetcher;
class WindowRegistry;
struct Services;

// A fetcher for a window's reads, gone with the window.
using FetcherFactory = std::function<std::unique_ptr<PageFetcher>()>;

// frmItemList (the page's auctions, listed from the browser window's page as
// it opens) and frmByAddress.
void registerBatchWindows(WindowRegistry &registry, Services &services, FetcherFactory makeFetcher);
