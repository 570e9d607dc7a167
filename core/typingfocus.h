#pragma once

class QTabWidget;
class QWidget;

// The box of `page` a user types into first: its first enabled box that takes typing, in Tab
// order; failing that its first control that Tab reaches (a check box, say). Null when Tab
// reaches nothing on it.
QWidget* FirstBox(QWidget* page);

// Puts the cursor in FirstBox(page); nothing happens when there is none.
void FocusFirstBox(QWidget* page);

// Each page of `tabs` puts the cursor in its first box when it is shown, rather than in the box
// last used on it, so that what is typed next lands where the page starts.
void FocusFirstBoxOfShownPage(QTabWidget* tabs);
