#pragma once

class QWidget;
namespace db {
class Connection;
}

// True when any of the owner's name, address, postcode and e-mail rows is missing or empty.
bool OwnerDetailsMissing(db::Connection& connection);

// At start-up: when the owner's details are incomplete, says so and shows the Options dialog
// on its Details tab, modal over `owner` (the main window). Returns when the dialog closes:
// true when it was shown.
bool CheckOwnerDetails(QWidget* owner);
