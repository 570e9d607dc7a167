// The windows the appointment editor opens that belong to other parts of the program.
#include "accounts/Companies_with_Contacts.h"
#include "accounts/Expenses.h"
#include "core/forms.h"
#include "diary/Recurrance.h"
#include "diary/Schedule.h"

ScheduleWindows& ScheduleOutcalls() {
    static ScheduleWindows windows{
        [](QWidget* owner) {
            Companies_with_Contacts* customers = Forms::get<Companies_with_Contacts>(owner);
            customers->new_cpy();
            customers->ShowModal(owner);
        },
        ShowExpenses,
        [](Schedule* owner) {
            Recurrance editor(owner);
            editor.exec();
        },
    };
    return windows;
}
