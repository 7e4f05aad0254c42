// The date check of the entry and modify forms.
#pragma once

#include <QString>

class QLineEdit;

namespace quillmere::forms {

// True when the text is a calendar date written year-month-day with "-" or "/"
// ("1986-10-1", "1986-10-01", "1986/10/1"), year 1753 to 9999. Blanks around it
// are allowed. Month 13, 30 February, letters and the empty text are refused.
bool isDateText(const QString& text);

// The form check: when the field's text is not a date, shows
// "出生时间应输入日期格式（yyyy-mm-dd）！" (warning, "警告"), puts the focus on the
// field and returns false.
bool checkDateField(QLineEdit* field);

}  // namespace quillmere::forms
