#pragma once

#include <QString>

// A title comes from a page: whatever it holds, it is shown as plain text
// that keeps its place among the program's own words.
//
// Format characters (zero-width spaces and joiners, the directional
// overrides, embeddings and isolates of the page) are dropped, so that a
// title can neither reorder the text around it nor look empty while it is
// not. What is left and runs right to left is put in an isolate of its own.
// A title with nothing visible left shows as `fallback` (the auction id).
QString displayText(const QString &title, const QString &fallback);

// The markup characters of a text made harmless for a reader that may take
// it for markup without saying so: full-width look-alikes.
QString withoutMarkup(const QString &text);
