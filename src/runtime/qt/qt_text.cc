#include "runtime/qt/qt_text.h"

#include <algorithm>
#include <string>

#include "platform/code_page.h"

namespace mvsearch {
namespace {

bool is_ascii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

QString gbk_to_qstring(std::string_view gbk) {
  if (gbk.empty()) return {};
  // Code page 936 keeps ASCII as it is; most list rows and every address take this way.
  if (is_ascii(gbk)) return QString::fromLatin1(gbk.data(), static_cast<qsizetype>(gbk.size()));
  // Every byte gives at most one UTF-16 unit, so one pass into a buffer of that size does.
  const int length = static_cast<int>(gbk.size());
  std::u16string wide(gbk.size(), u'\0');
  const int units = MultiByteToWideChar(CP_GBK, 0, gbk.data(), length, wide.data(), length);
  if (units <= 0) return {};
  return QString(reinterpret_cast<const QChar*>(wide.data()), units);
}

void append_gbk_texts(std::string_view nul_terminated_texts, std::vector<QString>& out) {
  if (nul_terminated_texts.empty()) return;
  // A NUL byte becomes U+0000 and ends nothing else: a lead byte in front of it is "?",
  // and the NUL is read on its own, so the units split exactly where the texts do.
  const int length = static_cast<int>(nul_terminated_texts.size());
  std::u16string wide(nul_terminated_texts.size(), u'\0');
  const int units =
      MultiByteToWideChar(CP_GBK, 0, nul_terminated_texts.data(), length, wide.data(), length);
  if (units <= 0) return;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(units); ++i) {
    if (wide[i] != u'\0') continue;
    out.emplace_back(reinterpret_cast<const QChar*>(wide.data() + begin),
                     static_cast<qsizetype>(i - begin));
    begin = i + 1;
  }
}

Text qstring_to_gbk(const QString& text) {
  const qsizetype end = text.indexOf(QChar(u'\0'));
  const QStringView view = QStringView(text).left(end < 0 ? text.size() : end);
  if (view.isEmpty()) return {};
  const auto* units = reinterpret_cast<const char16_t*>(view.utf16());
  if (std::all_of(units, units + view.size(), [](char16_t u) { return u < 0x80; })) {
    return view.toLatin1().toStdString();
  }
  // A unit gives at most two bytes.
  const int length = static_cast<int>(view.size());
  Text gbk(static_cast<std::size_t>(length) * 2, '\0');
  const int bytes =
      WideCharToMultiByte(CP_GBK, 0, units, length, gbk.data(), length * 2, nullptr, nullptr);
  gbk.resize(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
  return gbk;
}

}  // namespace mvsearch
