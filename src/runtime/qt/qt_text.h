// Conversion between the run time's GBK Text and Qt's UTF-16 QString.
#pragma once

#include <QString>
#include <string_view>
#include <vector>

#include "runtime/text.h"

namespace mvsearch {

// A byte that starts no GBK character becomes "?".
[[nodiscard]] QString gbk_to_qstring(std::string_view gbk);
// Converts texts that each end with one NUL byte, in one pass, appending one QString
// per text; the same as gbk_to_qstring on each text.
void append_gbk_texts(std::string_view nul_terminated_texts, std::vector<QString>& out);
// A character that GBK lacks becomes "?"; the text ends at its first NUL.
[[nodiscard]] Text qstring_to_gbk(const QString& text);

}  // namespace mvsearch
