#pragma once

#include <QString>

class QLayout;

// Shows text in a small dark box near the bottom right of the screen for three
// seconds without taking the focus; the box destroys itself. The integer is unused
// (kept for callers that pass a duration).
void showNotification(const QString &text, int unusedDuration = 4000);

// Shows or hides every widget held by the layout and by the layouts nested in it.
void setContainerLayoutVisibility(QLayout *layout, bool visible);
