#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace quillmer {

// The numeric test: with blanks trimmed, the text is a number in the given
// locale (sign, digits, group separators between digits, one decimal
// separator, exponent) and finite. The empty text and blanks alone are not
// numeric.
bool IsNumeric(const QString& text, const QLocale& locale = QLocale());
// The number a numeric text stands for, by the same rules.
std::optional<double> toNumber(const QString& text, const QLocale& locale = QLocale());

// Key filters of the page boxes: the character code that reaches the box,
// or 0 when the character is dropped. currentText is the box's whole text
// before the character.
char16_t txtFrom_KeyPress(const QString& currentText, char16_t key);
char16_t txtTo_KeyPress(const QString& currentText, char16_t key, const QLocale& locale = QLocale());

// The remembered "open after conversion" setting after the check box was
// clicked: cleared gives 0; ticked gives 2 when it was 0, else it is kept.
qint16 launchAfterClick(qint16 launch, bool nowTicked);

} // namespace quillmer
