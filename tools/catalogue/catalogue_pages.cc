#include "catalogue/catalogue_pages.h"

#include <cstdint>

namespace mvsearch {
namespace {

constexpr std::string_view kHead =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n"
    "<head>\r\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\r\n";

constexpr std::string_view kSiteTop =
    "<div class=\"top\"><a href=\"/\" class=\"logo\">曲库</a>"
    "<span class=\"nav\"><a href=\"/\">首页</a> | <a href=\"/new.asp\">新歌</a> | "
    "<a href=\"/top.asp\">排行</a></span></div>\r\n";

constexpr std::string_view kSiteFoot =
    "<div class=\"foot\">本站仅供试听与学习交流 &copy; 曲库</div>\r\n"
    "</body>\r\n"
    "</html>\r\n";

std::string search_form(std::string_view keyword) {
  return "<form name=\"search\" method=\"post\" action=\"/isearch.asp\">"
         "<input type=\"text\" name=\"ktv\" class=\"input\" value=\"" +
         html_escape(keyword) +
         "\" /><input type=\"submit\" value=\"搜索\" class=\"btn\" /></form>\r\n";
}

std::string trimmed(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(kBlank) - first + 1));
}

// Eight letters and digits that stand for the entry's share on the cloud drive.
std::string share_code(int id, std::uint32_t salt) {
  static constexpr std::string_view kAlphabet =
      "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
  std::uint32_t state = static_cast<std::uint32_t>(id) * 2654435761u ^ salt;
  std::string code;
  for (int i = 0; i < 8; ++i) {
    state = state * 1103515245u + 12345u;
    code += kAlphabet[(state >> 16) % kAlphabet.size()];
  }
  return code;
}

}  // namespace

std::string html_escape(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string render_result_page(std::string_view keyword, const std::vector<CatalogueEntry>& results,
                               PageMarkup markup) {
  const std::string shown = html_escape(trimmed(keyword));
  std::string page(kHead);
  page += "<title>" + (shown.empty() ? std::string("歌曲搜索") : shown + " - 歌曲搜索") +
          " - 曲库</title>\r\n"
          "<link href=\"/css/style.css\" rel=\"stylesheet\" type=\"text/css\" />\r\n"
          "</head>\r\n"
          "<body>\r\n";
  page += kSiteTop;
  page += search_form(trimmed(keyword));
  const std::string count = std::to_string(results.size());
  if (!results.empty()) {
    page += "<div class=\"info\">" + (shown.empty() ? "" : "搜索“" + shown + "”，") + "共找到 " +
            count + " 首歌曲</div>\r\n";
  } else if (shown.empty()) {
    page += "<div class=\"info\">请输入歌名或歌手名进行搜索</div>\r\n";
  } else {
    page += "<div class=\"info\">没有找到与“" + shown + "”相关的歌曲</div>\r\n";
  }

  if (markup == PageMarkup::kWithoutMarkers) {
    page += "<ul class=\"songs\">\r\n";
    for (const CatalogueEntry& entry : results) {
      page += "<li><a href='imv.asp?id=" + std::to_string(entry.id) + "' class='song'>" +
              html_escape(entry.title) + "</a> - <em>" + html_escape(entry.singer) +
              "</em></li>\r\n";
    }
    page += "</ul>\r\n";
  } else {
    page +=
        "<table width=\"100%\" border=\"0\" cellspacing=\"1\" cellpadding=\"4\" class=\"list\">\r\n"
        "<tr class=\"head\"><td width=\"45%\">歌名</td><td width=\"25%\">歌手</td>"
        "<td width=\"15%\">语种</td><td width=\"15%\">类型</td></tr>\r\n";
    for (const CatalogueEntry& entry : results) {
      page += "<tr>\r\n<td><a href=\"/imv.asp?id=" + std::to_string(entry.id) +
              "\" class=\"link\"><span>" + html_escape(entry.title) +
              "</span></a></td>\r\n<td class=\"singer\">" + html_escape(entry.singer) +
              "</td>\r\n<td>" + html_escape(entry.language) + "</td>\r\n<td>" +
              html_escape(entry.kind) + "</td>\r\n</tr>\r\n";
    }
    page += "</table>\r\n";
  }
  page += kSiteFoot;
  return page;
}

std::string cloud_drive_address(const CatalogueEntry& entry) {
  return "https://pan.example/s/1" + share_code(entry.id, 0x5A17u) +
         "?pwd=" + share_code(entry.id, 0xC0DEu).substr(0, 4);
}

std::string second_line_address(const CatalogueEntry& entry, std::uint16_t port) {
  return "http://127.0.0.1:" + std::to_string(port) + "/files/" + std::to_string(entry.id) + ".mp4";
}

std::string render_detail_page(const CatalogueEntry& entry, std::uint16_t port, PageMarkup markup) {
  const std::string title = html_escape(entry.title);
  const std::string singer = html_escape(entry.singer);
  std::string page(kHead);
  page += "<title>" + title + " - " + singer + " - 曲库</title>\r\n";
  page += "<script type=\"text/javascript\">\r\n";
  if (markup == PageMarkup::kWithoutMarkers) {
    page +=
        "function down(line) {\r\n"
        "  var urls = ['" +
        cloud_drive_address(entry) + "', '" + second_line_address(entry, port) +
        "'];\r\n"
        "  location.assign(urls[line - 1]);\r\n"
        "}\r\n";
  } else {
    page +=
        "function down(line) {\r\n"
        "  if (line == 1) {\r\n"
        "    window.location.href=\"" +
        cloud_drive_address(entry) +
        "\";\r\n"
        "  } else {\r\n"
        "    window.location.href=\"" +
        second_line_address(entry, port) +
        "\";\r\n"
        "  }\r\n"
        "}\r\n";
  }
  page +=
      "</script>\r\n"
      "<link href=\"/css/style.css\" rel=\"stylesheet\" type=\"text/css\" />\r\n"
      "</head>\r\n"
      "<body>\r\n";
  page += kSiteTop;
  page += "<div class=\"mv\">\r\n<h1>" + title + "</h1>\r\n<p>歌手：" + singer +
          "</p>\r\n<p>语种：" + html_escape(entry.language) + " 类型：" + html_escape(entry.kind) +
          "</p>\r\n"
          "<p class=\"down\"><a href=\"javascript:down(1)\" class=\"btn\">网盘下载</a> "
          "<a href=\"javascript:down(2)\" class=\"btn\">下载线路2</a></p>\r\n</div>\r\n";
  page += kSiteFoot;
  return page;
}

std::string render_unknown_entry_page(std::string_view id) {
  std::string page(kHead);
  page += "<title>歌曲不存在 - 曲库</title>\r\n</head>\r\n<body>\r\n";
  page += kSiteTop;
  page += "<div class=\"info\">编号为 " + html_escape(id) +
          " 的歌曲不存在或已被删除，<a href=\"/\">返回首页</a></div>\r\n";
  page += kSiteFoot;
  return page;
}

std::string render_not_found_page(std::string_view path) {
  return std::string(kHead) +
         "<title>404 - 找不到文件或目录。</title>\r\n</head>\r\n<body>\r\n"
         "<div id=\"header\"><h1>服务器错误</h1></div>\r\n"
         "<div id=\"content\"><h2>404 - 找不到文件或目录。</h2>\r\n"
         "<h3>您要查找的资源（" +
         html_escape(path) +
         "）可能已被删除，已更改名称或者暂时不可用。</h3></div>\r\n</body>\r\n</html>\r\n";
}

std::string render_line_file(const CatalogueEntry& entry) {
  return "mvsearch 曲库替身：下载线路2 的文件\n"
         "编号：" +
         std::to_string(entry.id) +
         "\n"
         "歌名：" +
         entry.title +
         "\n"
         "歌手：" +
         entry.singer +
         "\n"
         "这是演示用的小文件，不是真正的视频。\n";
}

}  // namespace mvsearch
