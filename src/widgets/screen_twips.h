#pragma once

#include "twips.h"

// The one resolution every window's stored geometry is read and written
// with: the primary screen's logical DPI, the same for reading and writing,
// so a stored position comes back to the very pixel it was taken from.
// 96 dpi while there is no screen.
TwipsScale screenTwips();
