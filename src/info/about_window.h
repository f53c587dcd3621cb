#pragma once

class QWidget;

// Shows the About window modally.
void ShowAboutWindow(QWidget* owner);
