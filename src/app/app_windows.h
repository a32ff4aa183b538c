#pragma once

class Lifecycle;
class WindowRegistry;

// frmEnding and frmVersion. Either is opened with
// registry.open(u"frmEnding"_s, ownerWidget): window-modal to that owner's
// window, centred on the screen; with no owner it blocks nothing.
void registerAppWindows(WindowRegistry &windows, Lifecycle &lifecycle);
