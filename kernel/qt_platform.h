#pragma once
// Installs the Qt versions of the platform hooks: message boxes captioned
// with the executable's name (their text also goes to standard error), and
// the toolkit's quit as the exit processing.
class QWidget;

namespace tallivo {

void installQtPlatform();

// Handles window events for `milliseconds`, waiting for them: what the
// window system and the window manager say about a window comes a moment
// after it was asked for.
void handleEventsFor(int milliseconds);

// From now on message boxes stay on top and open clear of these two windows,
// which stay on top themselves: below them where the box fits, else beside
// them. Either may be null.
void keepMessageBoxesClearOf(QWidget* keyboard, QWidget* printer);

}  // namespace tallivo
