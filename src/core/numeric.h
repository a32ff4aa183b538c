#pragma once

#include <QString>
#include <QStringView>

// Every setting and slot field is text; arithmetic happens at the point of use,
// through these helpers only, so that "abc", "" and " 90" read the same everywhere.

// Leading blanks are skipped and the longest leading decimal number is taken
// (an optional sign, digits, an optional fraction). Anything else reads as 0.
double numericValue(QStringView text);

// A number as the program stores it: plain decimal, no blank, no sign for
// positives ("0", "45", "-30"); fractions keep at most 15 significant digits.
QString plainNumber(double value);

// A number as the user sees it in the status line and the alert window: a
// blank before zero and positive numbers, a minus sign before negatives.
QString signedForm(double value);
