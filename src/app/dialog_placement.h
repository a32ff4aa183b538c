#pragma once

class QWidget;

// Places a window in the middle of its screen (the owner's, else the primary).
void centreOnScreen(QWidget *window);
