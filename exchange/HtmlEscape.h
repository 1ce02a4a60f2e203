#pragma once

#include <QString>

namespace quennet::exchange {

// Escapes the four characters that would end a value early or start markup
// in an HTML page or an Office-HTML workbook: & < > ".
QString htmlEscaped(const QString &text);

} // namespace quennet::exchange
